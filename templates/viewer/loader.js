// The viewer's library and styles, loaded when a picture is first opened
// from the folder this script came from, so that they cost the page
// nothing before. A page may also load them itself.

/** @type {((ok: boolean) => void)[] | null} callbacks waiting while it loads */
let waiting = null;

/**
 * Calls `done(true)` once PhotoSwipe is there, `done(false)` if it could
 * not be loaded.
 * @param {string} here  the folder of this script, ending in '/'
 * @param {(ok: boolean) => void} done
 */
export function withLibrary(here, done) {
  if (typeof PhotoSwipe === 'function') return done(true);
  if (waiting) return void waiting.push(done);
  waiting = [done];
  let pending = 0;
  function settled() {
    if (--pending > 0) return;
    const calls = waiting || [];
    waiting = null;
    calls.forEach((f) => f(typeof PhotoSwipe === 'function'));
  }
  /** @param {string} tag @param {Record<string, string>} attrs */
  function add(tag, attrs) {
    ++pending;
    const el = document.createElement(tag);
    for (const k in attrs) el.setAttribute(k, attrs[k]);
    el.onload = el.onerror = settled;
    document.head.appendChild(el);
  }
  ['photoswipe.css', 'vignetor-viewer.css'].forEach((name) => {
    if (!document.querySelector('link[href$="' + name + '"]'))
      add('link', { rel: 'stylesheet', href: here + name });
  });
  add('script', { src: here + 'photoswipe.umd.min.js' });
}
