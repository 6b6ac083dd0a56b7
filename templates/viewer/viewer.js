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

/**
 * What the parts of one opened viewer share.
 * @typedef {object} View
 * @prop {import('photoswipe').default} pswp
 * @prop {import('./data.js').Picture[]} items
 * @prop {{strip: boolean, details: boolean}} shown
 * @prop {() => import('./data.js').Picture} current  the picture shown
 * @prop {() => void} relayout  measures what lies around the picture anew
 * @prop {() => void} pause     pauses the slideshow, if it plays
 */

/**
 * The room the picture leaves: for the bar above, the caption and the strip
 * below (`below` high) and the details beside (`details` wide) or, on a
 * narrow screen, below (`details` high) the picture.
 * @param {{x: number}} viewport
 * @param {{below: number, details: number}} around
 * @param {boolean} withDetails
 */
export function padding(viewport, around, withDetails) {
  const narrow = viewport.x < 700;
  const pad = narrow ? { top: 48, bottom: 8, left: 0, right: 0 }
                     : { top: 60, bottom: 12, left: 64, right: 64 };
  pad.bottom += around.below;
  if (withDetails && around.details) {
    if (narrow) pad.bottom = Math.max(pad.bottom, around.details + 8);
    else pad.right = around.details + 24;
  }
  return pad;
}

// What the reader turned on or off, kept while the page is open.
const shown = { strip: true, details: false };

/**
 * Opens the viewer at the picture `index`; null without the library.
 * @param {import('./data.js').Picture[]} items
 * @param {number} index
 * @param {{interval: number, wrap: boolean}} settings  of the slideshow
 */
export function open(items, index, settings) {
  if (typeof PhotoSwipe !== 'function') return null;
  const around = { below: 0, details: 0 }; // heights measured below the picture and of the panel
  /** @type {HTMLElement | null} */
  let root = null;
  /** @type {HTMLImageElement | null} */
  let backdrop = null;

  const pswp = new PhotoSwipe({
    dataSource: items.map((it) => ({ src: it.web, width: it.w, height: it.h, alt: it.alt, vg: it })),
    index: index,
    preload: [1, 2],
    bgOpacity: 1,
    showHideAnimationType: 'fade',
    paddingFn: (viewport) => padding(viewport, around, shown.details),
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
    const below = box ? Math.ceil(box.getBoundingClientRect().height) : 0;
    const side = shown.details && panel ? Math.ceil(
      window.innerWidth < 700 ? panel.getBoundingClientRect().height : panel.getBoundingClientRect().width) : 0;
    if (below === around.below && side === around.details) return;
    around.below = below;
    around.details = side;
    if (laidOut) pswp.updateSize(true);
  }

  /** @type {View} */
  const view = {
    pswp,
    items,
    shown,
    current: () => (pswp.currSlide ? pswp.currSlide.data.vg : items[pswp.currIndex]),
    relayout,
    pause: () => show.pause()
  };
  const show = slideshow(view, settings);
  const details = detailsPanel(view);
  const strip = thumbStrip(view);
  const screen = fullScreen(view);
  download(view);
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
