// The viewer's strip in a gallery of hundreds of pictures on one page: it
// holds a window of thumbnails around the picture shown (opening the viewer
// on 20,000 pictures took seconds when it held them all), moves with it and
// still jumps wherever it is clicked.
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { after, before, describe, test } from 'node:test';

import { chromiumPath, galleryOnce, launchBrowser, picturesOnce } from './gallery.mjs';
import { assertClean, openPage, viewerShows } from './viewer-checks.mjs';

const skip = chromiumPath() ? false : 'chromium is not installed';
const count = 400;

describe('the strip of a large gallery', { skip }, () => {
  let browser, out;
  before(async () => {
    const many = (input) => {
      fs.mkdirSync(input);
      const one = path.join(input, '..', 'one.jpg');
      execFileSync('convert', ['-size', '60x40', 'gradient:#ffadad-#3a0ca3', one]);
      for (let i = 0; i < count; ++i)
        fs.copyFileSync(one, path.join(input, `p${String(i).padStart(3, '0')}.jpg`));
    };
    out = galleryOnce(picturesOnce(import.meta.url, many), 'Grid.tpl', { title: 'Many', perpage: '0' },
                      { switches: ['/h40'] });
    browser = await launchBrowser();
  });
  after(async () => {
    await browser?.close();
  });

  test('a window of thumbnails that follows the picture', async () => {
    // A screen high enough for the strip to be shown from the start.
    const { context, page, record } = await openPage(browser, out, 'index.html', 1280, { height: 1100 });
    const ids = await page.$$eval('a[data-vg]', (links) => links.map((a) => a.getAttribute('data-vg')));
    assert.equal(ids.length, count);
    await page.click('a[data-vg] img');
    await viewerShows(page, ids[0]);
    assert.ok(await page.locator('.pswp .vg-strip').isVisible(), 'the strip is hidden');
    const strip = page.locator('.pswp .vg-strip .vg-thumb');
    const labels = async () => strip.evaluateAll((bs) => bs.map((b) => b.getAttribute('aria-label')));
    // Twice the last thumbnail held: each time the window moves on.
    for (const want of [100, 200]) {
      const held = await labels();
      assert.ok(held.length <= 201, `${held.length} thumbnails held`);
      assert.ok(held[held.length - 1].startsWith(`Picture ${want + 1}:`), held[held.length - 1]);
      await strip.last().click();
      await viewerShows(page, ids[want]);
      const current = await page.$eval('.pswp .vg-strip [aria-current]', (b) => b.getAttribute('aria-label'));
      assert.ok(current.startsWith(`Picture ${want + 1}:`), current);
      const moved = await labels();
      assert.ok(moved[0].startsWith(`Picture ${want - 99}:`), moved[0]);
    }
    // Back by a key: the window follows the other way too.
    await page.keyboard.press('ArrowLeft');
    await viewerShows(page, ids[199]);
    assertClean(record);
    await context.close();
  });
});
