// Every shipped template, made by the real generator from pictures like
// photographs, at the form's first thumbnail size and at 200 px, on a
// desktop screen (at 1x and 2x pixel density) and on a phone (3x): every
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
];
const thumbSizes = ['/h100', '/h200'];

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
