// Small helpers for the elements the viewer makes.

/**
 * @template {keyof HTMLElementTagNameMap} K
 * @param {K} tag
 * @param {string} [className]
 * @param {string} [text]
 * @returns {HTMLElementTagNameMap[K]}
 */
export function element(tag, className, text) {
  const el = document.createElement(tag);
  if (className) el.className = className;
  if (text !== undefined) el.textContent = text;
  return el;
}

/** @param {string} paths */
function icon(paths) {
  return '<svg aria-hidden="true" class="pswp__icn" viewBox="0 0 32 32" width="32" height="32">' +
    '<path d="' + paths + '" fill="none" stroke="#fff" stroke-width="2.4" ' +
    'stroke-linecap="round" stroke-linejoin="round"/></svg>';
}

export const icons = {
  download: icon('M16 6v13m-6-6 6 6 6-6M8 25h16'),
  play: icon('M11 8v16l13-8z'),
  pause: icon('M12 8v16m8-16v16'),
  details: icon('M16 15v8m0-13v.5M16 5a11 11 0 1 0 0 22 11 11 0 1 0 0-22z'),
  strip: icon('M5 10h22v12H5zM12 10v12m8-12v12'),
  fullscreen: icon('M6 12V6h6m8 0h6v6m0 8v6h-6m-8 0H6v-6'),
  leave: icon('M12 6v6H6m14-6v6h6m0 8h-6v6m-8 0v-6H6')
};

/**
 * A button of the viewer's bar, as PhotoSwipe places its own.
 * @param {import('./viewer.js').View} view
 * @param {{name: string, label: string, order: number, html: string,
 *          onClick: () => void, onInit: (el: HTMLElement) => void}} b
 */
export function barButton(view, b) {
  view.pswp.on('uiRegister', () => {
    view.pswp.ui?.registerElement({
      name: b.name,
      title: b.label,
      ariaLabel: b.label,
      order: b.order,
      isButton: true,
      html: b.html,
      onClick: () => b.onClick(),
      onInit: b.onInit
    });
  });
}

export function reducedMotion() {
  return !!(window.matchMedia && window.matchMedia('(prefers-reduced-motion: reduce)').matches);
}
