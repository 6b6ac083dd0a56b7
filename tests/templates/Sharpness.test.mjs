// Every shipped template, made by the real generator from pictures like
// photographs, at the form's first thumbnail size and at 200 px, on a
// desktop screen (at 1x, 2x and 3x pixel density) and on a phone (3x): every
// picture on the first screen is drawn from a file with at least nine
// tenths of the device pixels it covers (the file's own pixels, read from
// its header), and the pictures the first screen loads stay within the
// budget of that screen.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { after, before, describe, test } from 'node:test';

import {
  chromiumPath, galleryOnce, launchBrowser, makePhotosOnce, picturesOnce, pixelsOf, programDir,
} from './gallery.mjs';
import { assertClean, openPage } from './viewer-checks.mjs';

const skip = chromiumPath() ? false : 'chromium is not installed';
// TEMPLATE names one template; else every shipped template.
const templates = process.env.TEMPLATE ? [process.env.TEMPLATE]
  : fs.readdirSync(programDir).filter((f) => f.endsWith('.tpl')).sort();
const screens = [
  { width: 1280, height: 800, scale: 1, budgetKB: 800 },
  { width: 1280, height: 800, scale: 2, budgetKB: 2000 },
  { width: 390, height: 844, scale: 3, budgetKB: 1000 },
  // A desktop at 3x, where a small picture's largest file stops it short.
  { width: 1280, height: 800, scale: 3, budgetKB: 3000 },
];
const thumbSizes = ['/h100', '/h200'];

// Justified: every row but a folder's last fills the page's width (within
// 2 px); on a desktop every row is at least 160 px high, whatever the
// thumbnails' size.
async function rowsFill(page, at, desktop) {
  const { left, right, rows } = await page.evaluate(() => {
    const main = document.querySelector('main');
    const box = main.getBoundingClientRect();
    const cs = getComputedStyle(main);
    const byTop = new Map();
    for (const img of document.querySelectorAll('a[data-vg] img')) {
      const r = img.getBoundingClientRect();
      const figure = img.closest('figure');
      const top = Math.round(r.top + scrollY);
      if (!byTop.has(top)) byTop.set(top, { left: r.left, right: r.right, h: r.height, last: false });
      const row = byTop.get(top);
      row.left = Math.min(row.left, r.left);
      row.right = Math.max(row.right, r.right);
      row.h = Math.max(row.h, r.height);
      // A folder's last row: no picture follows it before the next heading.
      row.last = !figure.nextElementSibling?.matches('figure');
    }
    return { left: box.left + parseFloat(cs.paddingLeft), right: box.right - parseFloat(cs.paddingRight),
             rows: [...byTop.entries()] };
  });
  assert.ok(rows.length >= 2, `${at}: rows`);
  for (const [top, row] of rows) {
    assert.ok(Math.abs(row.left - left) <= 2, `${at}: the row at ${top} starts at ${row.left}, not ${left}`);
    if (!row.last)
      assert.ok(Math.abs(row.right - right) <= 2, `${at}: the row at ${top} ends at ${row.right}, not ${right}`);
    if (desktop) assert.ok(row.h >= 160, `${at}: the row at ${top} is ${row.h} px high`);
  }
}

// Album covers on a desktop: drawn over their card's whole width, at least
// 240 px wide. (On a phone at 3x a small picture's cover may stop short of
// the card's width, at its own pixels.)
async function largeCovers(page, at, desktop) {
  if (!desktop) return;
  const covers = await page.$$eval('main a:not([data-vg]) img', (imgs) => imgs.map((img) => ({
    w: img.getBoundingClientRect().width, card: img.closest('a').getBoundingClientRect().width })));
  for (const c of covers) {
    assert.ok(c.w >= c.card - 2 && c.w >= 240, `${at}: a cover ${c.w} px wide in a card ${c.card} px wide`);
  }
}

const looks = { 'Justified.tpl': rowsFill, 'Albums.tpl': largeCovers };

// What the first screen shows: each picture's box, the file it is drawn
// from, and every picture file fetched once the screen has loaded.
async function firstScreen(page) {
  return page.evaluate(async () => {
    const inView = (r) => r.width > 0 && r.height > 0 && r.bottom > 0 && r.right > 0 &&
                          r.top < innerHeight && r.left < innerWidth;
    const shown = [...document.images].filter((img) => inView(img.getBoundingClientRect()));
    await Promise.all(shown.map((img) => img.complete ? null
      : new Promise((done) => { img.onload = img.onerror = done; })));
    await new Promise((r) => setTimeout(r, 300));
    return shown.map((img) => {
      const r = img.getBoundingClientRect();
      const fit = getComputedStyle(img).objectFit;
      return { src: img.currentSrc, w: r.width, h: r.height, fit };
    });
  });
}

describe('pictures on the first screen', { skip }, () => {
  let browser, input;
  before(async () => {
    input = picturesOnce(import.meta.url, makePhotosOnce);
    browser = await launchBrowser();
  });
  after(async () => {
    await browser?.close();
  });

  for (const template of templates) {
    for (const size of thumbSizes) {
      test(`${template} with ${size.slice(2)} px thumbnails`, async () => {
        const out = galleryOnce(input, template, { title: 'Sharp', perpage: '0' }, { switches: [size] });
        // An album index shows covers: an album's page too.
        const files = ['index.html'];
        if (!fs.readFileSync(path.join(out, 'index.html'), 'utf8').includes('data-vg='))
          files.push('index-2.html');
        const views = files.flatMap((file) => screens.map((screen) => [file, screen]));
        for (const [file, { width, height, scale, budgetKB }] of views) {
          const at = `${template} ${file} ${size} at ${width} px, ${scale}x`;
          const { context, page, record } = await openPage(browser, out, file, width,
                                                           { height, scale });
          const shown = await firstScreen(page);
          await looks[template]?.(page, at, width >= 1000);
          assert.ok(shown.length >= 2, `${at}: pictures on the first screen`);
          for (const s of shown) {
            const file = fileURLToPath(s.src);
            assert.ok(/\.(jpe?g|webp)$/i.test(file), `${at}: ${s.src} is no JPEG or WebP`);
            const own = pixelsOf(file);
            // Drawn at the box's size, or fitted inside it.
            let w = s.w, h = s.h;
            if (s.fit === 'contain') {
              const k = Math.min(s.w / own.w, s.h / own.h);
              w = own.w * k;
              h = own.h * k;
            }
            const ratio = Math.min(own.w / (w * scale), own.h / (h * scale));
            assert.ok(ratio >= 0.9, `${at}: ${path.basename(file)} (${own.w}x${own.h}) drawn at ` +
                                    `${Math.round(w * scale)}x${Math.round(h * scale)} device pixels`);
          }
          const pictures = [...new Set(record.requested)].filter((u) => /\.(jpe?g|png|gif|webp)$/i.test(u));
          const bytes = pictures.reduce((sum, u) => sum + fs.statSync(fileURLToPath(u)).size, 0);
          assert.ok(bytes <= budgetKB * 1024, `${at}: ${Math.round(bytes / 1024)} KB of pictures`);
          assertClean(record);
          await context.close();
        }
      });
    }
  }
});
