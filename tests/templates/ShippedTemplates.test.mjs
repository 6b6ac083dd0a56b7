// A shipped template (TEMPLATE) made into a gallery by the real generator,
// looked at in headless chromium on a phone and on a desktop screen.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { after, before, describe, test } from 'node:test';

import {
  chromiumPath, galleryOnce, launchBrowser, makePictures, pictures, picturesOnce, programDir,
} from './gallery.mjs';
import {
  assertClean, galleryData, loadAllImages, noSidewaysScroll, openPage, viewerClosed, viewerShows,
} from './viewer-checks.mjs';

const template = process.env.TEMPLATE;
const skip = chromiumPath() ? false : 'chromium is not installed';

// The names of the values the template asks for.
function askedValues() {
  const text = fs.readFileSync(path.join(programDir, template), 'latin1');
  const section = /^\s*\[askvalues\]\s*$([\s\S]*?)(?=^\s*\[|(?![\s\S]))/m.exec(text);
  return section ? section[1].split('\n').filter((l) => l.split(';').length === 4).map((l) => l.split(';')[0]) : [];
}

describe(template, { skip }, () => {
  let browser, input, out;

  before(async () => {
    input = picturesOnce(import.meta.url, makePictures);
    out = galleryOnce(input, template, { title: 'Holiday <2026> & more', perpage: '0' });
    browser = await launchBrowser();
  });
  after(async () => {
    await browser?.close();
  });

  for (const width of [390, 1280]) {
    test(`at ${width} px the page fits, and a thumbnail opens the viewer`, async () => {
      const { context, page, record } = await openPage(browser, out, 'index.html', width);
      await noSidewaysScroll(page);
      const data = await galleryData(page);
      assert.equal(data.length, pictures.length);
      await loadAllImages(page);
      // The pages that show the pictures: index.html, or where it is an
      // album index, the albums' pages.
      const picturePages = [...new Set(data.map((d) => d.page))];
      const visit = async (file) => {
        await loadAllImages(page);
        await page.goto(new URL(file, page.url()).href, { waitUntil: 'load' });
      };

      const thumbs = [];
      for (const file of picturePages) {
        if (!page.url().endsWith('/' + file)) await visit(file);
        await noSidewaysScroll(page);
        // Every thumbnail, brought into view to load (they load lazily).
        thumbs.push(...await page.evaluate(async () => {
          const all = [];
          for (const img of document.querySelectorAll('a[data-vg] img')) {
            img.scrollIntoView({ block: 'nearest', inline: 'nearest' });
            if (!img.complete) await new Promise((done) => { img.onload = img.onerror = done; });
            all.push({ ok: img.naturalWidth > 0, alt: img.alt, srcset: img.srcset });
          }
          return all;
        }));
        await noSidewaysScroll(page);

        // Cards side by side are the same height, whatever the pictures' shapes.
        const rows = await page.$$eval('a[data-vg]', (as) => {
          const byTop = {};
          for (const a of as) {
            const box = (a.closest('figure, td') || a).getBoundingClientRect();
            (byTop[Math.round(box.top + window.scrollY)] ??= []).push(Math.round(box.height));
          }
          return Object.values(byTop);
        });
        for (const heights of rows)
          assert.ok(Math.max(...heights) - Math.min(...heights) <= 1, `a row of ${heights}`);
      }
      assert.equal(thumbs.length, pictures.length);
      for (const t of thumbs) {
        assert.ok(t.ok && t.alt && / \d+w$/.test(t.srcset), JSON.stringify(t));
      }

      // The subfolder has a heading of its own, right before its pictures.
      await visit(data.find((d) => d.web.startsWith('trip/')).page);
      const heading = await page.evaluate(() => {
        const links = [...document.querySelectorAll('a[data-vg]')];
        const firstOfTrip = links.find((a) => a.getAttribute('href').startsWith('trip/'));
        const walker = document.createTreeWalker(document.body, NodeFilter.SHOW_TEXT);
        for (let n = walker.nextNode(); n; n = walker.nextNode()) {
          if (n.textContent.trim() !== 'trip') continue;
          const box = n.parentElement.getBoundingClientRect();
          const before = n.compareDocumentPosition(firstOfTrip) & Node.DOCUMENT_POSITION_FOLLOWING;
          const others = links.filter((a) => a !== firstOfTrip && !a.getAttribute('href').startsWith('trip/'));
          const afterTop = others.every((a) => n.compareDocumentPosition(a) & Node.DOCUMENT_POSITION_PRECEDING);
          return { shown: box.width > 0 && box.height > 0, before: !!before, afterTop };
        }
        return null;
      });
      assert.deepEqual(heading, { shown: true, before: true, afterTop: true });

      await visit(picturePages[0]);
      const first = await page.getAttribute('a[data-vg]', 'data-vg');
      const at = data.findIndex((d) => d.id === first);
      await page.click('a[data-vg] img');
      const shown = await viewerShows(page, first);
      // The web-sized picture: no original of the test is within the web size
      // on its long edge except the square one.
      assert.equal(shown.src, data[at].web);
      // The originals lie outside the output folder: the download offers the
      // web-sized picture instead, named so, and links nothing outside.
      assert.equal(data[at].original, false);
      assert.equal(data[at].picture, data[at].web);
      assert.equal(await page.getAttribute('.pswp .vg-download', 'aria-label'), 'Download the picture (web size)');
      assert.equal(Math.max(shown.w, shown.h), 1600);
      assert.deepEqual([shown.w, shown.h], [data[at].w, data[at].h]);

      await page.keyboard.press('ArrowRight');
      const next = data[(at + 1) % data.length];
      assert.equal((await viewerShows(page, next.id)).src, next.web);

      await page.keyboard.press('Escape');
      await viewerClosed(page);
      // Back on the page, the keyboard is at the picture shown last.
      assert.equal(await page.evaluate(() => document.activeElement.getAttribute('data-vg')), next.id);
      await noSidewaysScroll(page);

      // Enter opens it again; Back closes the viewer and stays on the page.
      await page.keyboard.press('Enter');
      await viewerShows(page, next.id);
      await page.goBack();
      await viewerClosed(page);
      assert.ok(page.url().endsWith('/' + picturePages[0]), page.url());

      assertClean(record);
      await context.close();
    });

    test(`at ${width} px a link naming a picture opens it in the viewer`, async () => {
      const probe = await openPage(browser, out, 'index.html', width);
      const data = await galleryData(probe.page);
      await probe.context.close();
      const last = data[data.length - 1];
      const { context, page, record } = await openPage(browser, out, last.page, width,
                                                       { hash: '#' + encodeURIComponent(last.id) });
      assert.equal((await viewerShows(page, last.id)).src, last.web);
      await page.click('.pswp__button--close');
      await viewerClosed(page);
      assertClean(record);
      await context.close();
    });
  }

  test('fits a wide screen too', async () => {
    const { context, page, record } = await openPage(browser, out, 'index.html', 1920);
    await noSidewaysScroll(page);
    assertClean(record);
    await context.close();
  });

  test('follows the light or dark mode of the system', async () => {
    const luminance = async (colorScheme) => {
      const { context, page } = await openPage(browser, out, 'index.html', 1280, { colorScheme });
      const rgb = await page.evaluate(() => {
        // The colour behind the page: the first element from the top that paints one.
        for (let e = document.elementFromPoint(5, 5); e; e = e.parentElement) {
          const c = getComputedStyle(e).backgroundColor;
          if (c !== 'rgba(0, 0, 0, 0)' && c !== 'transparent') return c;
        }
        return getComputedStyle(document.documentElement).backgroundColor;
      });
      await context.close();
      const [r, g, b] = rgb.match(/[\d.]+/g).map(Number);
      return (0.2126 * r + 0.7152 * g + 0.0722 * b) / 255;
    };
    assert.ok((await luminance('light')) > 0.6, 'light mode is light');
    assert.ok((await luminance('dark')) < 0.3, 'dark mode is dark');
  });

  test('a thumbnail with the keyboard focus looks different', async () => {
    const { context, page, record } = await openPage(browser, out, 'index.html', 1280);
    // On an album index the albums' covers too.
    const files = [...new Set(['index.html', (await galleryData(page))[0].page])];
    for (const file of files) {
      await loadAllImages(page);
      await page.goto(new URL(file, page.url()).href, { waitUntil: 'load' });
      const box = await page.locator('a:has(img)').first().boundingBox();
      const clip = { x: Math.max(0, box.x - 8), y: Math.max(0, box.y - 8),
                     width: box.width + 16, height: box.height + 16 };
      const before = await page.screenshot({ clip, animations: 'disabled' });
      for (let i = 0; i < 30; ++i) {
        await page.keyboard.press('Tab');
        if (await page.evaluate(() => document.activeElement.matches('a:has(img)'))) break;
      }
      assert.ok(await page.evaluate(() => document.activeElement.matches('a:has(img)')), file);
      const focused = await page.screenshot({ clip, animations: 'disabled' });
      assert.ok(!before.equals(focused), `no visible focus on the thumbnail of ${file}`);
    }
    assertClean(record);
    await context.close();
  });

  const paged = askedValues().includes('perpage') ? false : 'all pictures on one page';
  test('pages split at the chosen count; previous/next of the viewer crosses them', { skip: paged }, async () => {
    const paged = galleryOnce(input, template, { title: 'Paged', perpage: '3' });
    assert.ok(fs.existsSync(path.join(paged, 'index-2.html')));
    assert.ok(fs.existsSync(path.join(paged, 'index-3.html')));
    const { context, page, record } = await openPage(browser, paged, 'index.html', 1280);
    await noSidewaysScroll(page);
    const onPage = await page.$$eval('a[data-vg]', (as) => as.map((a) => a.dataset.vg));
    assert.equal(onPage.length, 3);
    const data = await galleryData(page);
    assert.equal(data.length, pictures.length);

    await page.click(`a[data-vg="${onPage[2]}"] img`);
    await viewerShows(page, onPage[2]);
    await page.keyboard.press('ArrowRight');
    const fourth = data[data.findIndex((d) => d.id === onPage[2]) + 1];
    assert.equal(fourth.page, 'index-2.html');
    assert.equal((await viewerShows(page, fourth.id)).src, fourth.web);
    await page.keyboard.press('Escape');
    await viewerClosed(page);

    // The page navigation leads on to the second page.
    await page.click('a[href="index-2.html"]');
    await page.waitForURL(/index-2\.html$/);
    await noSidewaysScroll(page);
    assert.ok(await page.$(`a[data-vg="${fourth.id}"]`));
    assertClean(record);
    await context.close();
  });
});
