// Videos in the viewer: a <video> element in the slide in place of the
// picture (the video itself where the browser plays it, else the copy the
// generator made), the web-sized poster shown until it plays; only the
// video shown plays. On the page, a play mark on a video's thumbnail.

import { element } from './dom.js';

/**
 * Marks the thumbnails of the videos among `items` with a play mark.
 * @param {import('./data.js').Picture[]} items
 */
export function markVideoTiles(items) {
  const videos = items.filter((it) => it.video);
  if (!videos.length) return;
  const style = element('style');
  style.textContent =
    'a.vg-video-tile{position:relative;display:inline-block}' +
    'a.vg-video-tile::after{content:"";position:absolute;left:50%;top:50%;width:0;height:0;' +
    'margin:-14px 0 0 -9px;border-style:solid;border-width:14px 0 14px 24px;' +
    'border-color:transparent transparent transparent rgba(255,255,255,.92);' +
    'filter:drop-shadow(0 0 3px rgba(0,0,0,.7));pointer-events:none}';
  document.head.appendChild(style);
  for (const it of videos) {
    document.querySelectorAll('a[data-vg]').forEach((a) => {
      if (a.getAttribute('data-vg') === it.id) a.classList.add('vg-video-tile');
    });
  }
}

/**
 * Puts videos into the slides of `pswp` and plays the one shown.
 * @param {import('photoswipe').default} pswp
 */
export function videoSlides(pswp) {
  pswp.on('contentLoad', (e) => {
    const content = e.content;
    const it = content.data.vg;
    if (!it || !it.video) return;
    e.preventDefault();
    const video = element('video', 'pswp__content vg-video');
    video.controls = true;
    video.playsInline = true;
    video.preload = 'metadata';
    video.poster = it.web;
    const source = element('source');
    source.src = it.video;
    if (it.type) source.type = it.type;
    video.appendChild(source);
    // PhotoSwipe types a slide's element as a picture or a box; a video
    // takes the same place.
    content.element = /** @type {HTMLDivElement} */ (/** @type {unknown} */ (video));
  });
  // Swipes and drags over the video's controls work the controls.
  pswp.on('pointerDown', (e) => {
    const target = /** @type {Element | null} */ (e.originalEvent.target);
    if (target && target.closest && target.closest('video')) e.preventDefault();
  });
  const playShown = () => {
    const shown = /** @type {Element | undefined} */ (pswp.currSlide?.content.element);
    pswp.element?.querySelectorAll('video').forEach((v) => {
      if (v !== shown) v.pause();
    });
    if (shown instanceof HTMLVideoElement) shown.play().catch(() => {});
  };
  pswp.on('change', playShown);
  pswp.on('afterInit', playShown);
  pswp.on('close', () => {
    pswp.element?.querySelectorAll('video').forEach((v) => v.pause());
  });
}
