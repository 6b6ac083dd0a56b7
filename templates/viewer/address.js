// The address fragment names the picture shown: a link naming one opens
// it, Back closes it, and a click on a thumbnail goes through the address.

import { withLibrary } from './loader.js';

/** The picture the address names, if it names one. */
export function fragmentId() {
  const h = location.hash.slice(1);
  try {
    return decodeURIComponent(h);
  } catch (e) {
    return h;
  }
}

/** @param {string} id */
function thumbLink(id) {
  const links = document.querySelectorAll('a[data-vg]');
  for (let i = 0; i < links.length; ++i)
    if (links[i].getAttribute('data-vg') === id) return /** @type {HTMLAnchorElement} */ (links[i]);
  return null;
}

// The address without the fragment, kept in place (no new history entry).
function dropFragment() {
  try {
    history.replaceState(history.state, '', location.href.split('#')[0]);
  } catch (e) {
    location.replace('#');
  }
}

/**
 * Follows the address from now on, and shows what it names now.
 * @param {import('./data.js').Picture[]} items
 * @param {(index: number) => import('photoswipe').default | null} open
 *        opens the viewer at a picture
 * @param {string} here  the folder of this script and its library
 */
export function followAddresses(items, open, here) {
  /** @type {Record<string, number>} */
  const byId = {};
  items.forEach((it, i) => {
    byId[it.id] = i;
  });

  /** @type {import('photoswipe').default | null} the open viewer, if any */
  let viewer = null;
  let ownEntry = false; // the fragment's history entry was added by us: Back closes
  let closingFromAddress = false;
  /** @type {string | null} the picture shown last, whose thumbnail gets the focus back */
  let lastId = null;
  let failedOnce = false; // the library could not be loaded: links behave as links

  /** @param {number} index */
  function show(index) {
    const pswp = open(index);
    if (!pswp) return;
    viewer = pswp;
    pswp.on('close', () => {
      const it = pswp.currSlide ? pswp.currSlide.data.vg : items[pswp.currIndex];
      lastId = it ? it.id : null;
      if (!closingFromAddress) {
        if (ownEntry) history.back();
        else dropFragment();
      }
      ownEntry = false;
      closingFromAddress = false;
      viewer = null;
    });
    // Back on the page where the viewer left: at the last picture shown.
    pswp.on('destroy', () => {
      const link = lastId && thumbLink(lastId);
      if (link) {
        link.scrollIntoView({ block: 'nearest' });
        link.focus({ preventScroll: true });
      }
    });
  }

  // Shows what the address names: the picture of its fragment, or nothing.
  function followAddress() {
    const index = byId[fragmentId()];
    if (index === undefined) {
      if (viewer) {
        closingFromAddress = true;
        viewer.close();
      }
      return;
    }
    if (viewer) {
      if (viewer.currIndex !== index) viewer.goTo(index);
      return;
    }
    withLibrary(here, (ok) => {
      // Still asked for once the library is there?
      if (ok && !viewer && byId[fragmentId()] === index) show(index);
    });
  }

  document.addEventListener('click', (e) => {
    if (e.defaultPrevented || e.button !== 0 || e.metaKey || e.ctrlKey || e.shiftKey || e.altKey)
      return;
    const target = /** @type {Element} */ (e.target);
    const a = target.closest ? target.closest('a[data-vg]') : null;
    if (!a || byId[/** @type {string} */ (a.getAttribute('data-vg'))] === undefined || failedOnce)
      return;
    e.preventDefault();
    withLibrary(here, (ok) => {
      if (!ok) {
        // Without the viewer the link shows the picture itself.
        failedOnce = true;
        location.href = /** @type {HTMLAnchorElement} */ (a).href;
        return;
      }
      ownEntry = true;
      location.hash = encodeURIComponent(/** @type {string} */ (a.getAttribute('data-vg')));
    });
  });

  window.addEventListener('hashchange', followAddress);

  // Opened through a link naming a picture: show it. Closing it then keeps
  // the page in its history entry, and Back leaves as it came (browsers skip
  // entries a page adds by itself while loading).
  followAddress();
}
