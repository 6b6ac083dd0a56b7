// Below the picture: its caption, then the strip of thumbnails.

import { element } from './dom.js';

/**
 * @param {import('./viewer.js').View} view
 * @param {{mount: (parent: HTMLElement) => void}} strip
 */
export function dock(view, strip) {
  /** @type {HTMLElement | null} */
  let box = null;
  /** @type {HTMLElement | null} */
  let captionBox = null;

  view.pswp.on('uiRegister', () => {
    view.pswp.ui?.registerElement({
      name: 'dock',
      order: 15,
      isButton: false,
      appendTo: 'root',
      onInit: (el) => {
        box = el;
        el.classList.add('vg-dock');
        captionBox = element('div', 'vg-caption');
        captionBox.setAttribute('aria-live', 'polite');
        el.appendChild(captionBox);
        strip.mount(el);
      }
    });
  });

  return {
    /**
     * The title (else the caption) as the heading of the block, the
     * description under it.
     * @param {import('./data.js').Picture} it
     */
    caption(it) {
      if (!captionBox) return;
      captionBox.textContent = '';
      const head = it.title || it.caption || it.alt || '';
      if (head) captionBox.appendChild(element('p', 'vg-caption-head', head));
      if (it.title && it.caption) captionBox.appendChild(element('p', 'vg-caption-text', it.caption));
      captionBox.hidden = !head;
    },
    /** The dock, once made. */
    get element() {
      return box;
    }
  };
}
