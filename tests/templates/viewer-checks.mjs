// What every gallery page must do in the browser, whichever template made it.
import assert from 'node:assert/strict';
import { pathToFileURL } from 'node:url';

// Opens `file` (a page in the output folder `out`) at the given width and
// records every request, script error and console error on the way.
export async function openPage(browser, out, file, width,
                               { colorScheme = 'light', hash = '', height = 844, scale = 1 } = {}) {
  const context = await browser.newContext({ viewport: { width, height }, colorScheme,
                                             deviceScaleFactor: scale });
  const page = await context.newPage();
  const folder = pathToFileURL(out).href + '/';
  const record = { requested: [], outside: [], errors: [], failed: [] };
  page.on('request', (r) => {
    record.requested.push(r.url());
    if (!r.url().startsWith(folder) && !r.url().startsWith('data:')) record.outside.push(r.url());
  });
  page.on('requestfailed', (r) => record.failed.push(r.url()));
  page.on('pageerror', (e) => record.errors.push(String(e)));
  page.on('console', (m) => {
    if (m.type() === 'error' || m.type() === 'warning') record.errors.push(m.text());
  });
  await page.goto(folder + file + hash, { waitUntil: 'load' });
  return { context, page, record };
}

// Waits (up to 10 s) until `condition()` holds.
export async function until(condition, what) {
  for (let i = 0; i < 100 && !condition(); ++i) await new Promise((r) => setTimeout(r, 100));
  assert.ok(condition(), what);
}

export function assertClean(record) {
  assert.deepEqual(record.outside, [], 'requests outside the output folder');
  assert.deepEqual(record.failed, [], 'requests that failed');
  assert.deepEqual(record.errors, [], 'script or console errors');
}

export async function noSidewaysScroll(page) {
  const m = await page.evaluate(() => ({
    scroll: document.documentElement.scrollWidth,
    view: document.documentElement.clientWidth,
    body: document.body.scrollWidth,
  }));
  assert.ok(m.scroll <= m.view && m.body <= m.view, `page scrolls sideways: ${JSON.stringify(m)}`);
}

// The viewer is open and shows the picture `id`, loaded; returns what it shows.
export async function viewerShows(page, id) {
  await page.waitForFunction((want) => decodeURIComponent(location.hash.slice(1)) === want, id);
  const handle = await page.waitForFunction(() => {
    const root = document.querySelector('.pswp');
    if (!root || !root.classList.contains('pswp--open')) return null;
    // The slide in view is the one whose holder the viewer does not hide.
    for (const holder of root.querySelectorAll('.pswp__item')) {
      if (holder.getAttribute('aria-hidden') === 'true') continue;
      const img = holder.querySelector('img.pswp__img');
      if (img && img.complete && img.naturalWidth > 0)
        return { src: img.getAttribute('src'), w: img.naturalWidth, h: img.naturalHeight };
    }
    return null;
  });
  return handle.jsonValue();
}

export async function viewerClosed(page) {
  await page.waitForFunction(() => !document.querySelector('.pswp') && location.hash === '');
}

// The pictures of the gallery as the page gives them to the viewer: from
// the gallery's script beside the pages, or from the page itself.
export async function galleryData(page) {
  return page.evaluate(() => window.vignetorGallery
    ? window.vignetorGallery.pictures
    : JSON.parse(document.getElementById('vg-data').dataset.gallery));
}

// Brings every picture of the page into view and waits until each has
// loaded or failed, so that leaving the page cuts no request short.
export async function loadAllImages(page) {
  await page.evaluate(async () => {
    for (const img of document.images) {
      img.scrollIntoView({ block: 'nearest', inline: 'nearest' });
      if (!img.complete) await new Promise((done) => { img.onload = img.onerror = done; });
    }
    window.scrollTo(0, 0);
  });
}
