// Whether a large gallery page is usable: headless chromium opens it at
// 1280 x 800 and times the page's load, the first thumbnail shown, the
// viewer opened on it and stepped on, and the last thumbnail shown after a
// jump to the end of the page. Prints "name value" lines.
//
// usage: WEB_MODULES=build/web/node_modules node bench/form/page.mjs PAGE.html
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { createRequire } from 'node:module';
import { pathToFileURL } from 'node:url';

const pagePath = path.resolve(process.argv[2]);
const { chromium } = createRequire(path.resolve(process.env.WEB_MODULES, 'x.js'))('playwright-core');
const executablePath = ['/usr/bin/chromium', '/usr/bin/chromium-browser'].find(fs.existsSync);
const home = fs.mkdtempSync(path.join(os.tmpdir(), 'vg-page-bench-'));
const browser = await chromium.launch({
  executablePath,
  env: { ...process.env, HOME: home },
  args: ['--disable-gpu', '--no-first-run', '--disable-background-networking',
         '--disable-component-update', '--disable-sync', '--enable-precise-memory-info'],
});
const seconds = (from) => ((performance.now() - from) / 1000).toFixed(2);
// Whether the image that `selector` finds has been decoded.
const shown = (page, selector) => page.waitForFunction(
  (s) => { const img = document.querySelector(s); return img && img.complete && img.naturalWidth > 0; },
  selector, { timeout: 60000 });
try {
  const page = await browser.newPage({ viewport: { width: 1280, height: 800 } });
  let start = performance.now();
  await page.goto(pathToFileURL(pagePath).href, { waitUntil: 'load', timeout: 120000 });
  console.log(`page_load_s ${seconds(start)}`);
  console.log(`page_thumbnails ${await page.locator('a[data-vg]').count()}`);
  await shown(page, 'a[data-vg] img');
  console.log(`first_thumbnail_s ${seconds(start)}`);

  start = performance.now();
  await page.click('a[data-vg] img');
  await shown(page, '.pswp__item[aria-hidden="false"] img.pswp__img');
  console.log(`viewer_open_s ${seconds(start)}`);
  start = performance.now();
  await page.keyboard.press('ArrowRight');
  await page.waitForTimeout(50);
  await shown(page, '.pswp__item[aria-hidden="false"] img.pswp__img');
  console.log(`viewer_next_s ${seconds(start)}`);
  await page.keyboard.press('Escape');
  await page.waitForFunction(() => !document.querySelector('.pswp'), null, { timeout: 10000 });

  start = performance.now();
  await page.keyboard.press('End');
  await page.evaluate(() => {
    const links = document.querySelectorAll('a[data-vg]');
    links[links.length - 1].scrollIntoView();
  });
  await page.waitForFunction(() => {
    const images = document.querySelectorAll('a[data-vg] img');
    const img = images[images.length - 1];
    return img.complete && img.naturalWidth > 0;
  }, null, { timeout: 60000 });
  console.log(`last_thumbnail_s ${seconds(start)}`);
  const heap = await page.evaluate(() => performance.memory ? performance.memory.usedJSHeapSize : 0);
  console.log(`js_heap_mib ${(heap / 1048576).toFixed(1)}`);
} finally {
  await browser.close();
  fs.rmSync(home, { recursive: true, force: true });
}
