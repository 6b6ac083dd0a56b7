// The viewer's details panel, slideshow, thumbnail strip and full screen on
// a shipped template made into a gallery by the real generator from pictures
// tagged here, in headless chromium on a phone and on a desktop screen.
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { createRequire } from 'node:module';
import { after, before, describe, test } from 'node:test';

import { chromiumPath, galleryOnce, launchBrowser, makePictures, picturesOnce } from './gallery.mjs';
import { assertClean, openPage, viewerClosed, viewerShows } from './viewer-checks.mjs';

const skip = !chromiumPath() ? 'chromium is not installed'
  : !fs.existsSync('/usr/bin/exiftool') ? 'exiftool is not installed (scripts/setup)' : false;

// In gallery order. `tags` are exiftool arguments; `shows` the lines the
// details panel must show, exactly (the file size only by its form).
const shots = [
  {
    file: 'a1.jpg', w: 1200, h: 800, colours: '#ffadad-#3a0ca3',
    tags: ['-XMP-dc:Title=Harbour <b>at</b> dusk', '-XMP-dc:Description=Boats & "gulls"',
           '-DateTimeOriginal=2024:06:01 14:03:05', '-Make=Fujifilm', '-Model=X-T5',
           '-LensModel=XF 35mm F1.4', '-ExposureTime=1/125', '-FNumber=2.8', '-ISO=200',
           '-FocalLength=35'],
    shows: [['Title', 'Harbour <b>at</b> dusk'], ['Description', 'Boats & "gulls"'],
            ['Taken', '2024-06-01 14:03'], ['Camera', 'Fujifilm X-T5'], ['Lens', 'XF 35mm F1.4'],
            ['Exposure', '1/125 s, f/2.8, ISO 200, 35 mm'], ['Size', '1200 \u00d7 800 pixels'],
            ['File size', /^\d+(\.\d)? KB$/]],
  },
  {
    file: 'a2.jpg', w: 300, h: 200, colours: '#caffbf-#264653',
    tags: ['-DateTimeOriginal=2023:12:24 18:30:00'],
    shows: [['Taken', '2023-12-24 18:30'], ['Size', '300 \u00d7 200 pixels'],
            ['File size', /^\d+(\.\d)? KB$/]],
  },
  {
    file: 'a3.png', w: 500, h: 700, colours: '#ffd6a5-#6d597a', tags: [],
    shows: [['Size', '500 \u00d7 700 pixels'], ['File size', /^\d+(\.\d)? KB$/]],
  },
  { file: 'a4.jpg', w: 900, h: 600, colours: '#bde0fe-#023047', tags: [], shows: null },
];

// Both ways a slideshow may end, one on each screen; `least` is what the
// opened landscape must fill of either screen at least.
const screens = [
  { width: 390, height: 844, end: 'stop', least: { width: 390, height: 0 } },
  { width: 1280, height: 800, end: 'wrap', least: { width: 0, height: 0.85 * 800 } },
];

describe('viewer tools', { skip }, () => {
  let browser;
  const outs = {};

  before(async () => {
    const tagged = (input) => {
      makePictures(input, shots);
      for (const s of shots) {
        if (s.tags.length)
          execFileSync('/usr/bin/exiftool', ['-q', '-overwrite_original', ...s.tags, path.join(input, s.file)]);
      }
    };
    const input = picturesOnce(import.meta.url, tagged);
    for (const { end } of screens)
      outs[end] = galleryOnce(input, 'Grid.tpl', { title: 'Tools', perpage: '0', slideshow: '1', slideshowend: end });
    browser = await launchBrowser();
  });
  after(async () => {
    await browser?.close();
  });

  for (const { width, height, end, least } of screens) {
    test(`at ${width}x${height}: details, slideshow (${end} at the end), strip and full screen`, async () => {
      const { context, page, record } = await openPage(browser, outs[end], 'index.html', width, { height });
      // Full screen, asked of the browser: counted on the way.
      await page.evaluate(() => {
        const ask = Element.prototype.requestFullscreen;
        window.fullscreenAsked = 0;
        Element.prototype.requestFullscreen = function (...args) {
          ++window.fullscreenAsked;
          return ask.apply(this, args);
        };
      });
      const ids = await page.$$eval('a[data-vg]', (as) => as.map((a) => a.dataset.vg));
      assert.equal(ids.length, shots.length);
      // The viewer's library and styles wait for the first picture opened.
      assert.deepEqual(record.requested.filter((u) => /photoswipe|viewer\.css/.test(u)), []);
      await page.click(`a[data-vg="${ids[0]}"] img`);
      await viewerShows(page, ids[0]);

      // The caption block: the title above the description.
      assert.deepEqual(await page.$$eval('.pswp .vg-caption p', (ps) => ps.map((p) => p.textContent)),
                       ['Harbour <b>at</b> dusk', 'Boats & "gulls"']);
      // The picture first: on a screen this low the strip waits for its
      // button, and the caption covers no more than the picture's lowest sixth.
      assert.ok(await page.locator('.pswp .vg-strip').isHidden(), 'the strip is shown');
      assert.equal(await page.getAttribute('.pswp__button--strip', 'aria-pressed'), 'false');
      const opened = await page.locator('.pswp__item:not([aria-hidden="true"]) img.pswp__img').boundingBox();
      const caption = await page.locator('.pswp .vg-caption').boundingBox();
      assert.ok(opened.width >= least.width - 0.5 && opened.height >= least.height - 0.5,
                `the picture fills too little: ${JSON.stringify(opened)}`);
      assert.ok(caption.y >= opened.y + opened.height * 5 / 6 - 0.5,
                `the caption covers the picture: ${JSON.stringify({ caption, opened })}`);

      // The details panel, with the key, then for each picture in turn.
      await page.keyboard.press('i');
      const details = () => page.$$eval('.pswp .vg-details:not([hidden]) dt', (dts) =>
        dts.map((dt) => [dt.textContent, dt.nextElementSibling.textContent]));
      for (let i = 0; i < 3; ++i) {
        if (i > 0) {
          await page.keyboard.press('ArrowRight');
          await viewerShows(page, ids[i]);
        }
        const lines = await details();
        assert.deepEqual(lines.map((l) => l[0]), shots[i].shows.map((l) => l[0]), shots[i].file);
        shots[i].shows.forEach(([, want], k) => {
          if (want instanceof RegExp) assert.match(lines[k][1], want);
          else assert.equal(lines[k][1], want);
        });
      }
      // No part of the panel is drawn as markup, nor the picture under it.
      assert.equal(await page.$$eval('.pswp b', (bs) => bs.length), 0);
      const panel = await page.locator('.pswp .vg-details').boundingBox();
      const shown = await page.locator('.pswp__item:not([aria-hidden="true"]) img.pswp__img').boundingBox();
      assert.ok(panel.x >= shown.x + shown.width - 1 || panel.y >= shown.y + shown.height - 1,
                `the panel covers the picture: ${JSON.stringify({ panel, shown })}`);
      // A picture smaller than the screen is drawn at its own size, no larger.
      await page.click('.pswp__button--details');
      await page.keyboard.press('ArrowLeft');
      await viewerShows(page, ids[1]);
      const small = await page.locator('.pswp__item:not([aria-hidden="true"]) img.pswp__img').boundingBox();
      assert.ok(small.width <= 300.5 && small.height <= 200.5, JSON.stringify(small));

      // The strip: its button shows it; a click on a thumbnail, and Enter
      // on one, jump to it.
      await page.click('.pswp__button--strip');
      assert.ok(await page.locator('.pswp .vg-strip').isVisible());
      const strip = page.locator('.pswp .vg-strip .vg-thumb');
      assert.equal(await strip.count(), shots.length);
      await strip.nth(3).click();
      await viewerShows(page, ids[3]);
      assert.equal(await strip.nth(3).getAttribute('aria-current'), 'true');
      await strip.nth(0).focus();
      await page.keyboard.press('Enter');
      await viewerShows(page, ids[0]);
      // It hides and comes back with its button.
      await page.click('.pswp__button--strip');
      assert.ok(await page.locator('.pswp .vg-strip').isHidden());
      await page.click('.pswp__button--strip');
      assert.ok(await page.locator('.pswp .vg-strip').isVisible());

      // The slideshow: a picture a second from the one shown.
      const at = async () => decodeURIComponent(await page.evaluate(() => location.hash.slice(1)));
      const stays = async (id) => {
        await page.waitForTimeout(1600);
        assert.equal(await at(), id);
      };
      const playLabel = () => page.getAttribute('.pswp__button--play', 'aria-label');
      await page.keyboard.press('p');
      await viewerShows(page, ids[1]);
      // Any other key pauses it.
      await page.keyboard.press('ArrowUp');
      assert.equal(await playLabel(), 'Play the slideshow');
      await stays(ids[1]);
      // The space bar plays again; a page out of sight pauses it.
      await page.keyboard.press(' ');
      assert.equal(await playLabel(), 'Pause the slideshow');
      await viewerShows(page, ids[2]);
      await page.evaluate(() => {
        Object.defineProperty(document, 'hidden', { configurable: true, get: () => true });
        document.dispatchEvent(new Event('visibilitychange'));
      });
      await stays(ids[2]);
      assert.equal(await playLabel(), 'Play the slideshow');
      await page.evaluate(() => { delete document.hidden; });
      // At the last picture it stops, or starts again at the first.
      await page.click('.pswp__button--play');
      await viewerShows(page, ids[3]);
      if (end === 'stop') {
        await stays(ids[3]);
        assert.equal(await playLabel(), 'Play the slideshow');
      } else {
        await viewerShows(page, ids[0]);
        await page.keyboard.press('p');
      }

      // Full screen, with its key and its button.
      await page.keyboard.press('f');
      assert.equal(await page.evaluate(() => window.fullscreenAsked), 1);
      await page.waitForFunction(() => document.fullscreenElement !== null &&
        document.querySelector('.pswp__button--fullscreen').getAttribute('aria-pressed') === 'true');
      await page.click('.pswp__button--fullscreen');
      await page.waitForFunction(() => document.fullscreenElement === null);

      // Every button of the bar is named and on the screen.
      const bar = await page.$$eval('.pswp__top-bar .pswp__button', (bs) => bs
        .filter((b) => b.offsetWidth > 0)
        .map((b) => ({ name: b.getAttribute('aria-label'), right: b.getBoundingClientRect().right })));
      for (const b of bar) assert.ok(b.name && b.right <= width, JSON.stringify(b));

      // axe finds nothing wrong with the viewer open, its panel and strip shown.
      await page.keyboard.press('i');
      const need = createRequire(path.join(process.env.WEB_MODULES, 'x.js'));
      await page.evaluate(fs.readFileSync(need.resolve('axe-core/axe.min.js'), 'utf8'));
      const violations = await page.evaluate(async () =>
        (await window.axe.run(document.querySelector('.pswp'), { resultTypes: ['violations'], preload: false })).violations
          .map((v) => `${v.id}: ${v.nodes.map((n) => n.target.join(' ')).join(', ')}`));
      assert.deepEqual(violations, []);

      // In a window too low for it the strip, and its button, leave the picture the room.
      await page.setViewportSize({ width, height: 400 });
      await page.waitForFunction(() => !document.querySelector('.pswp .vg-strip').offsetHeight &&
        !document.querySelector('.pswp__button--strip').offsetWidth);

      // Escape closes the details first (the viewer stays open), the viewer
      // with the next one.
      assert.ok(await page.locator('.pswp .vg-details').isVisible());
      await page.keyboard.press('Escape');
      await page.waitForFunction(() => !document.querySelector('.pswp .vg-details:not([hidden])'));
      assert.equal(await page.$$eval('.pswp.pswp--open', (open) => open.length), 1,
                   'Escape closed the viewer, not its details');
      await page.keyboard.press('Escape');
      await viewerClosed(page);
      // Opened again, the viewer keeps the strip as the reader left it.
      await page.click(`a[data-vg="${ids[1]}"] img`);
      await viewerShows(page, ids[1]);
      assert.equal(await page.getAttribute('.pswp__button--strip', 'aria-pressed'), 'true');
      await page.keyboard.press('Escape');
      await viewerClosed(page);

      assertClean(record);
      await context.close();
    });
  }
});
