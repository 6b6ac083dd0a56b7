// The pictures the viewer steps through: those of the gallery's script
// (window.vignetorGallery), else the list the page carries in #vg-data,
// else the thumbnails of this page read from their links.

/**
 * One picture as the gallery's data names it; the details fields are there
 * only when the picture has them.
 * @typedef {object} Picture
 * @prop {string} id
 * @prop {string} web          the web-sized picture the viewer shows
 * @prop {string} picture      what the download offers
 * @prop {boolean} [original]  false: `picture` is not the original
 * @prop {string} caption
 * @prop {string} alt
 * @prop {string} thumb
 * @prop {number} w            size of the web-sized picture
 * @prop {number} h
 * @prop {number} [pw]         size of the original
 * @prop {number} [ph]
 * @prop {number} [bytes]      file size of the original
 * @prop {string} [title]
 * @prop {string} [date]
 * @prop {string} [camera]
 * @prop {string} [lens]
 * @prop {string} [exposure]
 * @prop {string} [video]      a video's: what the viewer plays
 * @prop {string} [type]       its type, "video/mp4" or "video/webm"
 * @prop {number} [lat]        where it was taken (only with map=yes)
 * @prop {number} [lon]
 */

/**
 * The width and height of a link's data-vg-size="WIDTHxHEIGHT", 0 when
 * unreadable.
 * @param {string | null} text
 */
export function sizeOf(text) {
  const size = (text || '').split('x');
  return { w: parseInt(size[0], 10) || 0, h: parseInt(size[1], 10) || 0 };
}

/** @returns {Picture[]} */
export function readGallery() {
  const script = window.vignetorGallery;
  if (script && Array.isArray(script.pictures)) {
    if (script.pages !== 'one') return script.pictures;
    /** @type {Record<string, boolean>} */
    const here = {};
    document.querySelectorAll('a[data-vg]').forEach((a) => {
      here['#' + a.getAttribute('data-vg')] = true;
    });
    return script.pictures.filter((it) => here['#' + it.id] === true);
  }
  const holder = document.getElementById('vg-data');
  const inPage = holder && holder.getAttribute('data-gallery');
  if (inPage) {
    try {
      const list = JSON.parse(inPage);
      if (Array.isArray(list)) return list;
    } catch (e) {
      console.warn('vignetor-viewer: unreadable gallery data, using the thumbnails', e);
    }
  }
  /** @type {Picture[]} */
  const items = [];
  document.querySelectorAll('a[data-vg]').forEach((a) => {
    const img = a.querySelector('img');
    items.push({
      id: /** @type {string} */ (a.getAttribute('data-vg')),
      web: /** @type {string} */ (a.getAttribute('href')),
      picture: /** @type {string} */ (a.getAttribute('data-vg-picture') || a.getAttribute('href')),
      caption: a.getAttribute('data-vg-caption') || '',
      alt: img ? img.alt : '',
      thumb: img ? img.getAttribute('src') || '' : '',
      ...sizeOf(a.getAttribute('data-vg-size'))
    });
  });
  return items;
}
