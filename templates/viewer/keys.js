// The viewer's own keys: space or P plays and pauses the slideshow, I the
// details, F full screen, T the strip, Escape closes the details first. Any
// other key pauses the slideshow; PhotoSwipe keeps its own (arrows, Escape).

/**
 * @param {import('./viewer.js').View} view
 * @param {{slideshow: {toggle: () => void, owns: (el: Element) => boolean},
 *          details: {show: (on: boolean) => void, toggle: () => void},
 *          strip: {toggle: () => void},
 *          screen: {toggle: () => void, available: boolean}}} controls
 */
export function keys(view, controls) {
  view.pswp.on('keydown', (e) => {
    const ev = e.originalEvent;
    if (ev.ctrlKey || ev.metaKey || ev.altKey) return;
    const key = ev.key;
    const target = /** @type {Element | null} */ (ev.target);
    const onControl = target && target.closest && target.closest('button, a[href]');
    if (onControl && (key === ' ' || key === 'Enter')) {
      if (!controls.slideshow.owns(onControl)) view.pause();
      return;
    }
    let handled = true;
    if (key === ' ' || key === 'p' || key === 'P') controls.slideshow.toggle();
    else {
      view.pause();
      if (key === 'i' || key === 'I') controls.details.toggle();
      else if ((key === 'f' || key === 'F') && controls.screen.available) controls.screen.toggle();
      else if ((key === 't' || key === 'T') && view.items.length > 1) controls.strip.toggle();
      else if (key === 'Escape' && view.shown.details) controls.details.show(false);
      else handled = false;
    }
    if (handled) {
      e.preventDefault();
      ev.preventDefault();
    }
  });
}
