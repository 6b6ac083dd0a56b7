// The help page beside the program, read on a phone and on a desktop screen:
// its tables of keys and placeholders fit the width, and it loads nothing
// from elsewhere.
import assert from 'node:assert/strict';
import { after, before, describe, test } from 'node:test';

import { chromiumPath, launchBrowser, programDir } from './gallery.mjs';
import { assertClean, noSidewaysScroll, openPage } from './viewer-checks.mjs';

describe('Vignetor.html', { skip: chromiumPath() ? false : 'chromium is not installed' }, () => {
  let browser;
  before(async () => { browser = await launchBrowser(); });
  after(async () => { await browser?.close(); });

  for (const width of [390, 1280]) {
    test(`at ${width} px the page fits`, async () => {
      const { context, page, record } = await openPage(browser, programDir, 'Vignetor.html', width);
      await noSidewaysScroll(page);
      // The longest placeholder of the tables is readable whole on one line.
      const cell = page.locator('td', { hasText: '{{gallerydata}}' }).first();
      assert.ok((await cell.boundingBox()).width > 120);
      assertClean(record);
      await context.close();
    });
  }
});
