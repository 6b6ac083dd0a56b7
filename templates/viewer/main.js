/*! Vignetor picture viewer: a click (or Enter) on a thumbnail shows its
 * web-sized picture over the page, with previous/next, keys and swipe
 * (done by PhotoSwipe, photoswipe.umd.min.js), the caption block and a
 * link to download the original; besides, a slideshow (space, P), the
 * picture's details (I), a strip of thumbnails (T) and full screen (F).
 * The address fragment names the picture shown, so a link opens it
 * directly and Back closes it.
 *
 * The slideshow's settings are attributes of this script's element:
 *   <script src="vignetor-viewer.js" data-slideshow="5"
 *           data-slideshow-end="wrap" defer></script>
 * seconds per picture, and "wrap" or "stop" after the last picture.
 *
 * A page takes part with:
 *   <a href="{{web}}" data-vg="{{id}}" ...>  around each thumbnail
 *   <script src="{{galleryscript}}" defer></script>  before this script
 * The gallery's script, one file beside the pages that all of them load,
 * sets window.vignetorGallery: {pages: "all" or "one", pictures: [...]}, the
 * pictures the viewer steps through, those of every page (with "one" the
 * viewer keeps to those this page has a link for). A page may carry the list
 * itself instead, in <div id="vg-data" data-gallery="{{gallerydata}}" hidden>.
 * Without either the viewer steps through the thumbnails of this page, read
 * from their links:
 *   data-vg-size="{{webwidth}}x{{webheight}}" data-vg-picture="{{picture}}"
 *   data-vg-caption="{{caption}}" and the alt text of the image.
 * The viewer's library and styles (photoswipe.umd.min.js, photoswipe.css,
 * vignetor-viewer.css, beside this script) are loaded when a picture is
 * first opened, so that they cost the page nothing before; a page may also
 * load them itself.
 * With [gallery] map=yes the gallery's script names the map's tiles and the
 * pictures' positions; a page offers the map with
 *   <button type="button" data-vg-map="{{map}}" hidden>Map</button>
 * shown once there is a picture with a position, and vignetor-map.js with
 * Leaflet is loaded when it is pressed.
 * Every file named lies in the page's own folder: nothing is fetched from
 * elsewhere (but the map's tiles, once the map is opened), and the page
 * works straight from disk. A picture whose data
 * says "original": false lies outside that folder; the download then offers
 * the largest picture the folder holds of it. */

// The sources of vignetor-viewer.js, one module per concern, bundled into
// that one script when the program is built: data.js reads the gallery,
// address.js follows the address, loader.js loads the library,
// mapbutton.js offers the map (vignetor-map.js, templates/map), viewer.js
// opens it with its controls (slideshow.js, details.js, strip.js,
// fullscreen.js, download.js, dock.js, keys.js).

import { followAddresses } from './address.js';
import { readGallery } from './data.js';
import { offerMap } from './mapbutton.js';
import { slideshowSettings } from './slideshow.js';
import { open } from './viewer.js';
import { markVideoTiles } from './video.js';

// Read while this script runs: the element it came from, whose folder holds
// the library and whose attributes hold the slideshow's settings.
const script = document.currentScript;
const src = (script && /** @type {HTMLScriptElement} */ (script).src) || '';
const here = src.slice(0, src.lastIndexOf('/') + 1);
const settings = slideshowSettings(script && script.getAttribute('data-slideshow'),
                                   script && script.getAttribute('data-slideshow-end'));
const items = readGallery();
markVideoTiles(items);
followAddresses(items, (index) => open(items, index, settings), here);
offerMap(items, here);
