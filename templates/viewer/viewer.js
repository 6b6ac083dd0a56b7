// One opening of the viewer: PhotoSwipe with the viewer's controls around
// the picture, laid out so that the picture keeps clear of them.

import { fragmentId } from './address.js';
import { element } from './dom.js';
import { slideshow } from './slideshow.js';
import { detailsPanel } from './details.js';
import { thumbStrip } from './strip.js';
import { fullScreen } from './fullscreen.js';
import { download } from './download.js';
import { dock } from './dock.js';
import { keys } from './keys.js';
import { videoSlides } from './video.js';

/**
 * What the parts of one opened viewer share.
 * @typedef {object} View
 * @prop {import('photoswipe').default} pswp
 * @prop {import('./data.js').Picture[]} items
 * @prop {{strip: boolean, details: boolean}} shown
 * @prop {{strip: boolean}} chosen  what the reader chose to show or hide
 * @prop {() => import('./data.js').Picture} current  the picture shown
 * @prop {() => void} relayout  measures what lies around the picture anew
 * @prop {() => void} pause     pauses the slideshow, if it plays
 */

/**
 * The room the picture leaves: for the bar above, the strip below (`strip`
 * high) and the details beside (`details` wide) or, on a narrow screen,
 * below (`details` high) the picture; and for the caption (`caption` high)
 * below the picture where that costs it no more than CAPTION_COST of its
 * height. Otherwise the caption lies over the picture's lower edge.
 * @param {{x: number, y: number}} viewport
 * @param {{strip: number, caption: number, details: number}} around
 * @param {boolean} withDetails
 * @param {{width?: number, height?: number}} [item]  the picture's size
 */
export function padding(viewport, around, withDetails, item) {
  const narrow = viewport.x < 700;
  const pad = narrow ? { top: 48, bottom: 8, left: 0, right: 0 }
                     : { top: 60, bottom: 12, left: 64, right: 64 };
  pad.bottom += around.strip;
  const panel = withDetails && around.details > 0;
  if (panel && !narrow) pad.right = around.details + 24;
  // On a narrow screen the details stand in for the caption.
  if (around.caption > 0 && !(narrow && panel) && item && captionBelow(viewport, pad, around.caption, item))
    pad.bottom += around.caption;
  if (panel && narrow) pad.bottom = Math.max(pad.bottom, around.details + 8);
  return pad;
}

// The share of its height a picture may lose to a caption below it.
export const CAPTION_COST = 0.05;

/**
 * Whether the picture `item`, fitted (never enlarged) into the viewport
 * less `pad`, loses at most CAPTION_COST of its height to `caption` more
 * room below it.
 * @param {{x: number, y: number}} viewport
 * @param {{top: number, bottom: number, left: number, right: number}} pad
 * @param {number} caption
 * @param {{width?: number, height?: number}} item
 */
function captionBelow(viewport, pad, caption, item) {
  const w = item.width || 0;
  const h = item.height || 0;
  if (!(w > 0 && h > 0)) return false;
  const across = viewport.x - pad.left - pad.right;
  const high = viewport.y - pad.top - pad.bottom;
  const fit = (/** @type {number} */ room) => Math.min(1, across / w, Math.max(0, room) / h);
  return fit(high - caption) >= fit(high) * (1 - CAPTION_COST);
}

// What the reader turned on or off, kept while the page is open. Until the
// reader chooses, the strip is shown only on a screen at least STRIP_SCREEN
// CSS px high: on a lower one the picture needs the room.
const shown = { strip: true, details: false };
const chosen = { strip: false };
export const STRIP_SCREEN = 1000;

/**
 * Opens the viewer at the picture `index`; null without the library.
 * @param {import('./data.js').Picture[]} items
 * @param {number} index
 * @param {{interval: number, wrap: boolean}} settings  of the slideshow
 */
export function open(items, index, settings) {
  if (typeof PhotoSwipe !== 'function') return null;
  if (!chosen.strip) shown.strip = window.innerHeight >= STRIP_SCREEN;
  const around = { strip: 0, caption: 0, details: 0 }; // measured around the picture
  /** @type {HTMLElement | null} */
  let root = null;
  /** @type {HTMLImageElement | null} */
  let backdrop = null;

  const pswp = new PhotoSwipe({
    dataSource: items.map((it) => ({
      src: it.web, width: it.w, height: it.h, alt: it.alt, vg: it, type: it.video ? 'video' : 'image'
    })),
    index: index,
    preload: [1, 2],
    bgOpacity: 1,
    showHideAnimationType: 'fade',
    paddingFn: (viewport, data) => padding(viewport, around, shown.details, data),
    returnFocus: false,
    mainClass: 'vg-viewer'
  });

  // Measures what lies around the picture; a change makes room anew
  // (before the first layout, measuring is enough).
  let laidOut = false;
  function relayout() {
    if (!root || pswp.isDestroying) return;
    root.classList.toggle('vg-with-details', shown.details);
    root.classList.toggle('vg-with-strip', shown.strip);
    const box = bottom.element;
    const panel = details.element;
    const strip = box && box.querySelector('.vg-strip');
    const caption = box && box.querySelector('.vg-caption');
    // From the layout, not the screen: the caption over the picture is
    // moved up without changing it.
    const stripTop = strip instanceof HTMLElement && strip.offsetHeight ? strip.offsetTop : 0;
    const stripRoom = box && stripTop ? box.offsetHeight - stripTop : 0;
    const captionRoom = box && caption instanceof HTMLElement && caption.offsetHeight
      ? (stripTop || box.offsetHeight) - caption.offsetTop : 0;
    const side = shown.details && panel ? Math.ceil(
      window.innerWidth < 700 ? panel.getBoundingClientRect().height : panel.getBoundingClientRect().width) : 0;
    // The caption of the picture shown lies over its lower edge unless
    // there is room for it below.
    const it = view.current();
    const viewport = { x: document.documentElement.clientWidth, y: window.innerHeight };
    const measured = { strip: stripRoom, caption: captionRoom, details: side };
    const size = { width: it.w, height: it.h };
    root.classList.toggle('vg-caption-over', captionRoom > 0 &&
      padding(viewport, measured, shown.details, size).bottom ===
      padding(viewport, { ...measured, caption: 0 }, shown.details, size).bottom);
    if (stripRoom === around.strip && captionRoom === around.caption && side === around.details) return;
    around.strip = stripRoom;
    around.caption = captionRoom;
    around.details = side;
    if (laidOut) pswp.updateSize(true);
  }

  /** @type {View} */
  const view = {
    pswp,
    items,
    shown,
    chosen,
    current: () => (pswp.currSlide ? pswp.currSlide.data.vg : items[pswp.currIndex]),
    relayout,
    pause: () => show.pause()
  };
  const show = slideshow(view, settings);
  const details = detailsPanel(view);
  const strip = thumbStrip(view);
  const screen = fullScreen(view);
  download(view);
  videoSlides(pswp);
  const bottom = dock(view, strip);
  keys(view, { slideshow: show, details, strip, screen });

  function showCurrent() {
    const it = view.current();
    const id = it.id;
    if (fragmentId() !== id) location.replace('#' + encodeURIComponent(id));
    bottom.caption(it);
    if (backdrop) {
      if (it.thumb) {
        if (backdrop.getAttribute('src') !== it.thumb) backdrop.src = it.thumb;
      } else {
        backdrop.hidden = true;
        backdrop.removeAttribute('src');
      }
    }
    if (shown.details) details.fill();
    strip.mark();
    relayout();
    show.changed();
  }
  pswp.on('change', showCurrent);
  pswp.on('resize', () => {
    requestAnimationFrame(relayout);
  });

  // Everything around the picture is in place, and measured, before the
  // viewer first lays out its slides.
  pswp.on('firstUpdate', () => {
    root = /** @type {HTMLElement} */ (pswp.element);
    // The dialog PhotoSwipe makes, named for screen readers.
    root.setAttribute('aria-label', 'Picture viewer');
    show.watch(root);
    // The picture stands on a blurred copy of its own thumbnail.
    const img = element('img', 'vg-backdrop');
    img.alt = '';
    img.setAttribute('aria-hidden', 'true');
    img.hidden = true;
    img.onload = () => { img.hidden = false; };
    img.onerror = () => { img.hidden = true; };
    root.insertBefore(img, pswp.scrollWrap || null);
    backdrop = img;
    if (items.length > 1) strip.show(shown.strip);
    else strip.hide();
    details.show(shown.details);
    showCurrent();
  });
  pswp.on('initialLayout', () => {
    laidOut = true;
  });
  pswp.init();
  return pswp;
}
