// The album template made into galleries by the real generator from
// pictures in nested folders, dated in the test: the index links every
// top-level album with its cover, count and days, each album's page the
// albums inside it; the crumbs of an album's page lead back through each
// folder's own page; the viewer keeps to the album; by date the albums by
// their first picture taken; without subfolders one page.
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

// In the gallery's order, by name, each album followed by those inside it;
// the top folder's album is named after it. "2024" and "Summer" have no
// pictures of their own: pages of the albums inside them, a cover from
// those. `count`: its pictures and those below it; `own`: its own; `inside`:
// the pages of the albums right inside it; `cover`: the display file (cellsize)
// of the cover picture.
const albums = [
  { page: 'index-2.html', name: 'Travels 2024', parent: '', count: 3, own: 3,
    days: '2024-05-01 \u2013 2024-05-03', cover: 'Thumbharbour@display.jpg', inside: [] },
  { page: 'index-3.html', name: '2024', parent: '', count: 4, own: 0, days: '2024-04-01 \u2013 2024-08-05',
    cover: '2024/Spring/Thumbapple@display.jpg', inside: ['index-4.html', 'index-5.html'] },
  { page: 'index-4.html', name: 'Spring', parent: '2024', count: 2, own: 2, days: '2024-04-01 \u2013 2024-04-09',
    cover: '2024/Spring/Thumbapple@display.jpg', inside: [] },
  { page: 'index-5.html', name: 'Summer', parent: '2024', count: 2, own: 0, days: '2024-08-02 \u2013 2024-08-05',
    cover: '2024/Summer/Coast/Thumba@display.jpg', inside: ['index-6.html'] },
  { page: 'index-6.html', name: 'Coast', parent: '2024/Summer', count: 2, own: 2,
    days: '2024-08-02 \u2013 2024-08-05', cover: '2024/Summer/Coast/Thumba@display.jpg', inside: [] },
  { page: 'index-7.html', name: 'trip', parent: '', count: 1, own: 1, days: '2023-12-24', cover: 'trip/Thumbx@display.jpg',
    inside: [] },
];
// The index lists the top-level albums.
const topLevel = albums.filter((a) => !a.parent);

// What a page shows of each album card: where it leads, its cover (loaded)
// and its text.
async function albumCards(page) {
  return page.$$eval('main a.album', async (links) => Promise.all(links.map(async (a) => {
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
    test(`at ${width} px the index links every top-level album, each album those inside it`, async () => {
      const { context, page, record } = await openPage(browser, out, 'index.html', width);
      await noSidewaysScroll(page);
      const checkCards = async (shown, expected) => {
        const cards = await albumCards(page);
        assert.deepEqual(cards.map((c) => c.href), expected.map((a) => a.page), shown);
        cards.forEach((card, i) => {
          const a = expected[i];
          assert.ok(card.loaded, card.cover);
          assert.equal(card.cover, a.cover);
          const count = `${a.count} picture${a.count === 1 ? '' : 's'}`;
          assert.equal(card.text, [a.name, count, a.days].filter(Boolean).join(' '));
        });
      };
      await checkCards('index.html', topLevel);
      // Each album's page shows the albums inside it and its own pictures,
      // and no other.
      const data = await galleryData(page);
      for (const a of albums) {
        await loadAllImages(page);
        await page.goto(new URL(a.page, page.url()).href, { waitUntil: 'load' });
        await noSidewaysScroll(page);
        await checkCards(a.page, a.inside.map((file) => albums.find((b) => b.page === file)));
        await loadAllImages(page);
        const ids = await page.$$eval('a[data-vg]', (as) => as.map((x) => x.dataset.vg));
        assert.equal(ids.length, a.own, a.page);
        assert.deepEqual(ids, data.filter((d) => d.page === a.page).map((d) => d.id));
      }
      assertClean(record);
      await context.close();
    });

    test(`at ${width} px the crumbs lead back to the index through the folders above`, async () => {
      const { context, page, record } = await openPage(browser, out, 'index-6.html', width);
      const crumbs = () => page.$$eval('nav[aria-label="Breadcrumb"] li', (items) => items.map((li) => {
        const a = li.querySelector('a');
        return a ? `${li.innerText.trim()}>${a.getAttribute('href')}` : `${li.innerText.trim()} (here)`;
      }));
      // "2024" and "Summer" have no pictures of their own, and pages of
      // their own all the same.
      assert.deepEqual(await crumbs(), ['Travels>index.html', '2024>index-3.html', 'Summer>index-5.html',
                                        'Coast (here)']);
      await loadAllImages(page);
      await page.click('nav[aria-label="Breadcrumb"] a >> text=2024');
      await page.waitForURL(/index-3\.html$/);
      assert.deepEqual(await crumbs(), ['Travels>index.html', '2024 (here)']);
      assert.deepEqual((await albumCards(page)).map((c) => c.href), ['index-4.html', 'index-5.html']);

      // The top folder's album leads back to the index in one step.
      await loadAllImages(page);
      await page.click('nav[aria-label="Breadcrumb"] a');
      await page.waitForURL(/\/index\.html$/);
      await loadAllImages(page);
      await page.click('a[href="index-2.html"]');
      await page.waitForURL(/index-2\.html$/);
      assert.deepEqual(await crumbs(), ['Travels>index.html', 'Travels 2024 (here)']);
      await loadAllImages(page);
      await page.click('nav[aria-label="Breadcrumb"] a');
      await page.waitForURL(/\/index\.html$/);
      assert.equal((await albumCards(page)).length, topLevel.length);
      await noSidewaysScroll(page);
      assertClean(record);
      await context.close();
    });

    test(`at ${width} px the viewer steps through the album's pictures only`, async () => {
      const { context, page, record } = await openPage(browser, out, 'index-4.html', width);
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

  test('by date, with a cover named: albums by their first picture taken, the named cover', async () => {
    const dated = galleryOnce(input, template, { title: 'Travels', order: 'date', cover: 'apple' });
    const { context, page, record } = await openPage(browser, dated, 'index.html', 1280);
    // trip (2023-12-24), 2024 (its Spring, 2024-04-01), the top folder's
    // (2024-05-01); inside 2024 Spring, then Summer, whose pictures have no
    // date taken.
    const cards = await albumCards(page);
    assert.deepEqual(cards.map((c) => c.text.split(' ')[0]), ['trip', '2024', 'Travels']);
    assert.deepEqual(cards.map((c) => c.cover),
                     ['trip/Thumbx@display.jpg', '2024/Spring/Thumbapple@display.jpg', 'Thumbharbour@display.jpg']);
    await loadAllImages(page);
    await page.goto(new URL('index-3.html', page.url()).href, { waitUntil: 'load' });
    assert.deepEqual((await albumCards(page)).map((c) => c.text.split(' ')[0]), ['Spring', 'Summer']);
    await loadAllImages(page);
    await page.goto(new URL('index-4.html', page.url()).href, { waitUntil: 'load' });
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
