// The album template made into galleries by the real generator from
// pictures in nested folders, dated in the test: the index links every
// album with its cover, count and days; the crumbs of an album's page lead
// back; the viewer keeps to the album; without subfolders one page.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { after, before, describe, test } from 'node:test';

import { chromiumPath, galleryOnce, launchBrowser, makeDatedPictures, picturesOnce } from './gallery.mjs';
import {
  assertClean, galleryData, loadAllImages, noSidewaysScroll, openPage, viewerClosed, viewerShows,
} from './viewer-checks.mjs';

const skip = chromiumPath() ? false : 'chromium is not installed';
const template = 'Albums.tpl';

// In the gallery's order, by name; the top folder's album is named after it.
const albums = [
  { page: 'index-2.html', name: 'Travels 2024', parent: '', count: 3, days: '2024-05-01 \u2013 2024-05-03',
    cover: 'Thumbharbour.jpg' },
  { page: 'index-3.html', name: 'Spring', parent: '2024', count: 2, days: '2024-04-01 \u2013 2024-04-09',
    cover: '2024/Spring/Thumbapple.jpg' },
  { page: 'index-4.html', name: 'Coast', parent: '2024/Summer', count: 2, days: '2024-08-02 \u2013 2024-08-05',
    cover: '2024/Summer/Coast/Thumba.jpg' },
  { page: 'index-5.html', name: 'trip', parent: '', count: 1, days: '2023-12-24', cover: 'trip/Thumbx.jpg' },
];

// What the index shows of each album: where it leads, its cover (loaded)
// and its text.
async function albumCards(page) {
  return page.$$eval('main a[href]', async (links) => Promise.all(links.map(async (a) => {
    const img = a.querySelector('img');
    img.scrollIntoView({ block: 'nearest' });
    if (!img.complete) await new Promise((done) => { img.onload = img.onerror = done; });
    return { href: a.getAttribute('href'), cover: decodeURIComponent(img.getAttribute('src')),
             loaded: img.naturalWidth > 0, text: a.innerText.replace(/\s+/g, ' ').trim() };
  })));
}

describe(template, { skip }, () => {
  let browser, input, out;

  before(async () => {
    // The top folder's album is named after it.
    input = picturesOnce(import.meta.url, makeDatedPictures, 'Travels 2024');
    out = galleryOnce(input, template, { title: 'Travels' });
    browser = await launchBrowser();
  });
  after(async () => {
    await browser?.close();
  });

  for (const width of [390, 1280]) {
    test(`at ${width} px the index links every album with its cover, count and days`, async () => {
      const { context, page, record } = await openPage(browser, out, 'index.html', width);
      await noSidewaysScroll(page);
      const cards = await albumCards(page);
      assert.deepEqual(cards.map((c) => c.href), albums.map((a) => a.page));
      cards.forEach((card, i) => {
        const a = albums[i];
        assert.ok(card.loaded, card.cover);
        assert.equal(card.cover, a.cover);
        const count = `${a.count} picture${a.count === 1 ? '' : 's'}`;
        assert.equal(card.text, [a.name, a.parent, count, a.days].filter(Boolean).join(' '));
      });
      // Each album's page shows its pictures, and no other.
      const data = await galleryData(page);
      for (const a of albums) {
        await loadAllImages(page);
        await page.goto(new URL(a.page, page.url()).href, { waitUntil: 'load' });
        await noSidewaysScroll(page);
        await loadAllImages(page);
        const ids = await page.$$eval('a[data-vg]', (as) => as.map((x) => x.dataset.vg));
        assert.equal(ids.length, a.count, a.page);
        assert.deepEqual(ids, data.filter((d) => d.page === a.page).map((d) => d.id));
      }
      assertClean(record);
      await context.close();
    });

    test(`at ${width} px the crumbs lead back to the index through the folders above`, async () => {
      const { context, page, record } = await openPage(browser, out, 'index-4.html', width);
      const crumbs = () => page.$$eval('nav[aria-label="Breadcrumb"] li', (items) => items.map((li) => {
        const a = li.querySelector('a');
        return a ? `${li.innerText.trim()}>${a.getAttribute('href')}` : `${li.innerText.trim()} (here)`;
      }));
      // "2024" and "Summer" have no pictures of their own: they lead to the
      // first album inside them on the index.
      assert.deepEqual(await crumbs(), ['Travels>index.html', '2024>index.html#s-2024-Spring',
                                        'Summer>index.html#s-2024-Summer-Coast', 'Coast (here)']);
      await loadAllImages(page);
      await page.click('nav[aria-label="Breadcrumb"] a >> text=2024');
      await page.waitForURL(/index\.html#s-2024-Spring$/);
      // The album it names is in view.
      const top = await page.$eval('#s-2024-Spring', (e) => e.getBoundingClientRect().top);
      assert.ok(top >= 0 && top < await page.evaluate(() => innerHeight), `album at ${top}`);

      // The top folder's album leads back to the index in one step.
      await loadAllImages(page);
      await page.click('a[href="index-2.html"]');
      await page.waitForURL(/index-2\.html$/);
      assert.deepEqual(await crumbs(), ['Travels>index.html', 'Travels 2024 (here)']);
      await loadAllImages(page);
      await page.click('nav[aria-label="Breadcrumb"] a');
      await page.waitForURL(/\/index\.html$/);
      assert.equal((await albumCards(page)).length, albums.length);
      await noSidewaysScroll(page);
      assertClean(record);
      await context.close();
    });

    test(`at ${width} px the viewer steps through the album's pictures only`, async () => {
      const { context, page, record } = await openPage(browser, out, 'index-3.html', width);
      const ids = await page.$$eval('a[data-vg]', (as) => as.map((x) => x.dataset.vg));
      assert.deepEqual(ids, ['p-2024-Spring-apple', 'p-2024-Spring-zebra']);
      await page.click('a[data-vg] img');
      await viewerShows(page, ids[0]);
      await page.keyboard.press('ArrowRight');
      await viewerShows(page, ids[1]);
      // Past its last picture the album starts again, not the next album.
      await page.keyboard.press('ArrowRight');
      await viewerShows(page, ids[0]);
      await page.keyboard.press('Escape');
      await viewerClosed(page);
      assertClean(record);
      await context.close();
    });
  }

  test('by date, with a cover named: the pages in date order, the named cover', async () => {
    const dated = galleryOnce(input, template, { title: 'Travels', order: 'date', cover: 'apple' });
    const { context, page, record } = await openPage(browser, dated, 'index.html', 1280);
    const cards = await albumCards(page);
    assert.deepEqual(cards.map((c) => c.cover),
                     ['Thumbharbour.jpg', '2024/Spring/Thumbapple.jpg', '2024/Summer/Coast/Thumba.jpg',
                      'trip/Thumbx.jpg']);
    await loadAllImages(page);
    await page.goto(new URL('index-3.html', page.url()).href, { waitUntil: 'load' });
    assert.deepEqual(await page.$$eval('a[data-vg]', (as) => as.map((x) => x.dataset.vg)),
                     ['p-2024-Spring-zebra', 'p-2024-Spring-apple']);
    assertClean(record);
    await context.close();
  });

  test('without subfolders one page of the pictures, no index', async () => {
    const flat = galleryOnce(input, template, { title: 'Travels' }, { subfolders: false });
    assert.ok(!fs.existsSync(path.join(flat, 'index-2.html')));
    for (const width of [390, 1280]) {
      const { context, page, record } = await openPage(browser, flat, 'index.html', width);
      await noSidewaysScroll(page);
      assert.deepEqual(await page.$$eval('a[data-vg]', (as) => as.map((x) => x.dataset.vg)),
                       ['p-harbour', 'p-IMG_2', 'p-IMG_10']);
      assert.equal(await page.$('nav[aria-label="Breadcrumb"]'), null);
      assertClean(record);
      await context.close();
    }
  });
});
