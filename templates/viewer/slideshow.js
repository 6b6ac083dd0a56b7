// The slideshow: space or P, or its button, plays and pauses it; any other
// key, a click, a tap, a swipe or the wheel pauses it, and so does hiding
// the page.

import { barButton, icons } from './dom.js';

/**
 * The slideshow's settings from the attributes of the viewer's script
 * element (null when absent):
 *   data-slideshow="5"         seconds each picture stays (1 to 3600)
 *   data-slideshow-end="wrap"  after the last picture: "wrap" (start again
 *                              at the first) or "stop"
 * @param {string | null} seconds
 * @param {string | null} end
 */
export function slideshowSettings(seconds, end) {
  const s = parseFloat(seconds || '');
  return {
    interval: 1000 * (s > 0 ? Math.min(Math.max(s, 1), 3600) : 5),
    wrap: (end || '').trim().toLowerCase() !== 'stop'
  };
}

/**
 * @param {import('./viewer.js').View} view
 * @param {{interval: number, wrap: boolean}} settings
 */
export function slideshow(view, settings) {
  const pswp = view.pswp;
  let playing = false;
  /** @type {ReturnType<typeof setTimeout> | undefined} */
  let timer;
  /** @type {HTMLElement | null} */
  let button = null;

  /** @param {boolean} on */
  function setPlaying(on) {
    playing = on;
    clearTimeout(timer);
    timer = undefined;
    if (button) {
      const what = on ? 'Pause the slideshow' : 'Play the slideshow';
      button.setAttribute('aria-label', what);
      button.title = what + ' (space)';
      button.innerHTML = on ? icons.pause : icons.play;
    }
    if (on) schedule();
  }
  function schedule() {
    clearTimeout(timer);
    timer = setTimeout(advance, settings.interval);
  }
  function advance() {
    timer = undefined;
    if (!playing || pswp.isDestroying) return;
    const n = pswp.getNumItems();
    if (n < 2) return setPlaying(false);
    if (pswp.currIndex < n - 1) pswp.goTo(pswp.currIndex + 1);
    else if (settings.wrap) pswp.goTo(0);
    else setPlaying(false);
  }
  function toggle() {
    if (playing) return setPlaying(false);
    // Played from the last picture, a slideshow that stops there starts over.
    if (!settings.wrap && pswp.currIndex === pswp.getNumItems() - 1) pswp.goTo(0);
    setPlaying(true);
  }
  function pause() {
    if (playing) setPlaying(false);
  }
  function whenHidden() {
    if (document.hidden) pause();
  }

  barButton(view, {
    name: 'play', label: 'Play the slideshow', order: 6, html: icons.play, onClick: toggle,
    onInit: (el) => {
      button = el;
      el.classList.add('vg-play');
      el.hidden = view.items.length < 2;
    }
  });
  pswp.on('close', () => {
    setPlaying(false);
    document.removeEventListener('visibilitychange', whenHidden);
  });
  document.addEventListener('visibilitychange', whenHidden);

  return {
    toggle,
    pause,
    /** Another picture is shown: it gets its full time. */
    changed() {
      if (playing) schedule();
    },
    /** @param {Element} el  whether it is the slideshow's own button */
    owns: (el) => el === button,
    /**
     * A click, a tap or a swipe anywhere but on the slideshow's own button
     * pauses it; so does the wheel.
     * @param {HTMLElement} root
     */
    watch(root) {
      root.addEventListener('pointerdown', (ev) => {
        const target = /** @type {Element} */ (ev.target);
        if (!(target.closest && target.closest('.vg-play'))) pause();
      }, true);
      root.addEventListener('wheel', pause, { passive: true, capture: true });
    }
  };
}
