// The strip of thumbnails below the picture (T, or its button), the one
// shown marked and kept in view; a click on one shows it. Unless the reader
// chose, it starts shown only on a high screen (viewer.js).

import { barButton, element, icons, reducedMotion } from './dom.js';

// A gallery of thousands keeps to a window of buttons around the picture
// shown, SIDE on either side, made anew when the picture comes within
// MARGIN of its ends.
export const STRIP_SIDE = 100;
export const STRIP_MARGIN = 25;

/**
 * The buttons [from, to) the strip should hold for the picture `at` of
 * `total`, or null when those it holds, [from, to), still serve.
 * @param {number} at
 * @param {number} total
 * @param {number} from
 * @param {number} to
 * @returns {{from: number, to: number} | null}
 */
export function stripWindow(at, total, from, to) {
  if (to > from && (from === 0 || at - from >= STRIP_MARGIN) && (to === total || to - at > STRIP_MARGIN))
    return null;
  return { from: Math.max(0, at - STRIP_SIDE), to: Math.min(total, at + STRIP_SIDE + 1) };
}

/**
 * The shape of a picture's button: its width over its height, kept between
 * 1:2 and 2:1 (1 when unknown).
 * @param {{w: number, h: number}} it
 */
export function thumbRatio(it) {
  return it.w > 0 && it.h > 0 ? Math.min(Math.max(it.w / it.h, 0.5), 2) : 1;
}

/** @param {import('./viewer.js').View} view */
export function thumbStrip(view) {
  const pswp = view.pswp;
  const items = view.items;
  const strip = element('div', 'vg-strip');
  strip.setAttribute('role', 'group');
  strip.setAttribute('aria-label', 'Thumbnails');
  let stripFrom = 0;
  /** @type {HTMLElement | null} */
  let button = null;

  /** @param {import('./data.js').Picture} it @param {number} i */
  function thumbButton(it, i) {
    const b = element('button', 'vg-thumb');
    b.type = 'button';
    b.setAttribute('aria-label', 'Picture ' + (i + 1) + ': ' + (it.alt || it.caption || ''));
    b.style.setProperty('--ratio', thumbRatio(it).toFixed(3));
    if (it.thumb) {
      const img = element('img');
      img.alt = '';
      img.loading = 'lazy';
      img.decoding = 'async';
      img.src = it.thumb;
      b.appendChild(img);
    }
    b.addEventListener('click', () => {
      view.pause();
      pswp.goTo(i);
    });
    return b;
  }
  // Whether the buttons were made anew for the picture at `at`.
  /** @param {number} at */
  function build(at) {
    const range = stripWindow(at, items.length, stripFrom, stripFrom + strip.children.length);
    if (!range) return false;
    const focused = strip.contains(document.activeElement);
    while (strip.firstChild) strip.removeChild(strip.firstChild);
    stripFrom = range.from;
    for (let i = range.from; i < range.to; ++i) strip.appendChild(thumbButton(items[i], i));
    if (focused) /** @type {HTMLElement} */ (strip.children[at - stripFrom]).focus();
    return true;
  }
  function mark() {
    if (!view.shown.strip || !strip.firstChild) return;
    const rebuilt = build(pswp.currIndex);
    const old = strip.querySelector('[aria-current]');
    if (old) old.removeAttribute('aria-current');
    const now = /** @type {HTMLElement | undefined} */ (strip.children[pswp.currIndex - stripFrom]);
    if (!now) return;
    now.setAttribute('aria-current', 'true');
    const left = now.offsetLeft - (strip.clientWidth - now.offsetWidth) / 2;
    strip.scrollTo({ left: Math.max(0, left), behavior: rebuilt || reducedMotion() ? 'auto' : 'smooth' });
  }
  /** @param {boolean} on */
  function show(on) {
    view.shown.strip = on;
    if (on) build(pswp.currIndex || 0);
    strip.hidden = !on;
    if (button) button.setAttribute('aria-pressed', on ? 'true' : 'false');
    mark();
    view.relayout();
  }

  // The reader's own choice, kept for the next opening.
  function toggle() {
    view.chosen.strip = true;
    show(!view.shown.strip);
  }

  barButton(view, {
    name: 'strip', label: 'Thumbnails', order: 12, html: icons.strip,
    onClick: toggle,
    onInit: (el) => {
      button = el;
      el.classList.add('vg-strip-button');
      el.title = 'Thumbnails (t)';
      el.hidden = items.length < 2;
    }
  });

  return {
    show,
    toggle,
    mark,
    /** A single picture has no strip. */
    hide() {
      strip.hidden = true;
    },
    /** @param {HTMLElement} parent  the element the strip lies in */
    mount(parent) {
      parent.appendChild(strip);
    }
  };
}
