// The link that downloads the picture shown: its original, or the largest
// picture the gallery's folder holds of it when the original lies outside.

import { icons } from './dom.js';

/** @param {import('./viewer.js').View} view */
export function download(view) {
  const pswp = view.pswp;
  pswp.on('uiRegister', () => {
    pswp.ui?.registerElement({
      name: 'download',
      title: 'Download the original',
      ariaLabel: 'Download the original',
      order: 14,
      isButton: true,
      tagName: 'a',
      html: icons.download,
      onInit: (el) => {
        const link = /** @type {HTMLAnchorElement} */ (el);
        link.setAttribute('download', '');
        link.classList.add('vg-download');
        pswp.on('change', () => {
          const d = view.current();
          const what = d.original !== false ? 'Download the original' : 'Download the picture (web size)';
          link.href = d.picture;
          link.title = what;
          link.setAttribute('aria-label', what);
        });
      }
    });
  });
}
