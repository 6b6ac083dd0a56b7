// Full screen (F, or its button), where the browser allows it; left again
// when the viewer closes, if the viewer entered it.

import { barButton, icons } from './dom.js';

/** @param {import('./viewer.js').View} view */
export function fullScreen(view) {
  const available = document.fullscreenEnabled === true &&
    typeof document.documentElement.requestFullscreen === 'function';
  let ours = false;
  /** @type {HTMLElement | null} */
  let button = null;

  function mark() {
    if (!button) return;
    const on = !!document.fullscreenElement;
    const what = on ? 'Leave full screen' : 'Full screen';
    button.setAttribute('aria-label', what);
    button.title = what + ' (f)';
    button.setAttribute('aria-pressed', on ? 'true' : 'false');
    button.innerHTML = on ? icons.leave : icons.fullscreen;
  }
  function toggle() {
    if (!available) return;
    const done = document.fullscreenElement ? document.exitFullscreen()
                                            : document.documentElement.requestFullscreen();
    if (!document.fullscreenElement) ours = true;
    if (done && done.catch) done.catch(() => {});
  }

  barButton(view, {
    name: 'fullscreen', label: 'Full screen', order: 13, html: icons.fullscreen, onClick: toggle,
    onInit: (el) => {
      button = el;
      el.hidden = !available;
      mark();
    }
  });
  view.pswp.on('close', () => {
    document.removeEventListener('fullscreenchange', mark);
    if (ours && document.fullscreenElement) document.exitFullscreen().catch(() => {});
  });
  document.addEventListener('fullscreenchange', mark);

  return { toggle, available };
}
