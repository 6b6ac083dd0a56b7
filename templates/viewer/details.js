// The picture's details (I, or its button): a panel beside the picture, or
// below it on a narrow screen, listing only what the picture has.

import { barButton, element, icons } from './dom.js';

/**
 * A file size as the reader reads it: 512 B, 1.5 KB, 24 MB.
 * @param {number} bytes
 */
export function fileSize(bytes) {
  if (bytes < 1024) return bytes + ' B';
  const units = ['KB', 'MB', 'GB', 'TB'];
  let v = bytes / 1024;
  let u = 0;
  while (v >= 1024 && u < units.length - 1) {
    v /= 1024;
    ++u;
  }
  return (v < 10 ? v.toFixed(1) : v.toFixed(0)) + ' ' + units[u];
}

/**
 * The lines of the details panel, [label, value]: only what the picture has.
 * @param {import('./data.js').Picture} it
 * @returns {[string, string][]}
 */
export function details(it) {
  /** @type {[string, string][]} */
  const rows = [];
  /** @param {string} label @param {unknown} value */
  function add(label, value) {
    if (value !== undefined && value !== null && String(value) !== '') rows.push([label, String(value)]);
  }
  add('Title', it.title);
  add(it.title ? 'Description' : 'Caption', it.caption);
  add('Taken', it.date);
  add('Camera', it.camera);
  add('Lens', it.lens);
  add('Exposure', it.exposure);
  if (it.pw && it.ph && it.pw > 0 && it.ph > 0) add('Size', it.pw + ' \u00d7 ' + it.ph + ' pixels');
  if (it.bytes && it.bytes > 0) add('File size', fileSize(it.bytes));
  return rows;
}

/** @param {import('./viewer.js').View} view */
export function detailsPanel(view) {
  /** @type {HTMLElement | null} */
  let panel = null;
  /** @type {HTMLElement | null} */
  let button = null;

  function fill() {
    if (!panel) return;
    const list = /** @type {HTMLElement} */ (panel.querySelector('dl'));
    list.textContent = '';
    details(view.current()).forEach((row) => {
      list.appendChild(element('dt', '', row[0]));
      list.appendChild(element('dd', '', row[1]));
    });
  }
  /** @param {boolean} on */
  function show(on) {
    view.shown.details = on;
    if (panel) panel.hidden = !on;
    if (button) button.setAttribute('aria-expanded', on ? 'true' : 'false');
    if (on) fill();
    view.relayout();
  }
  const toggle = () => show(!view.shown.details);

  barButton(view, {
    name: 'details', label: 'Picture details', order: 11, html: icons.details, onClick: toggle,
    onInit: (el) => {
      button = el;
      el.title = 'Picture details (i)';
      el.setAttribute('aria-controls', 'vg-details');
      el.setAttribute('aria-expanded', 'false');
    }
  });
  view.pswp.on('uiRegister', () => {
    view.pswp.ui?.registerElement({
      name: 'details-panel',
      order: 16,
      isButton: false,
      appendTo: 'root',
      tagName: 'section',
      onInit: (el) => {
        panel = el;
        el.id = 'vg-details';
        el.className += ' vg-details';
        el.setAttribute('aria-label', 'Picture details');
        el.tabIndex = 0; // it may scroll: reachable by keyboard
        el.hidden = true;
        el.appendChild(element('h2', '', 'Details'));
        el.appendChild(element('dl'));
      }
    });
  });

  return {
    show,
    toggle,
    fill,
    /** The panel, once made. */
    get element() {
      return panel;
    }
  };
}
