// The map of where the pictures were taken ([gallery] map=yes): the page's
// button for it is shown when the gallery's data names the map's tiles and
// a picture of this page has a position. The map itself (vignetor-map.js,
// with Leaflet) is loaded when the button is first pressed, so that a
// visitor who never opens it loads none of it, nor any tile.

/**
 * @param {import('./data.js').Picture[]} items  the pictures of this page
 * @param {string} here  the folder of this script, ending in '/'
 */
export function offerMap(items, here) {
  const button = /** @type {HTMLButtonElement | null} */ (
    document.querySelector('button[data-vg-map="yes"]'));
  const gallery = window.vignetorGallery;
  const map = gallery && gallery.map;
  if (!button || !map || !map.tiles) return;
  const placed = items.filter((it) => typeof it.lat === 'number' && typeof it.lon === 'number');
  if (placed.length === 0) return;
  button.hidden = false;
  let loading = false;
  button.addEventListener('click', () => {
    const open = () => window.vignetorMap && window.vignetorMap.open(placed, map, here, button);
    if (window.vignetorMap) return void open();
    if (loading) return;
    loading = true;
    const script = document.createElement('script');
    script.src = here + 'vignetor-map.js';
    script.onload = open;
    script.onerror = () => {
      loading = false;
    };
    document.head.appendChild(script);
  });
}
