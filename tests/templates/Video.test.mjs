// Videos in a shipped template's gallery, in headless chromium: the play
// mark on their thumbnails, and the viewer playing the MP4 as it is and the
// copy the generator made of a HEVC MOV.
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { after, before, describe, test } from 'node:test';

import { chromiumPath, launchBrowser, makeGallery, makePictures, tempDir } from './gallery.mjs';
import { assertClean, openPage } from './viewer-checks.mjs';

const skip = chromiumPath() ? false : 'chromium is not installed';

describe('videos', { skip }, () => {
  let browser, root;

  before(async () => {
    root = tempDir('video');
    const make = (file, ...args) =>
      execFileSync(process.env.TEST_VIDEO, [path.join(root, file), ...args]);
    make('clip.mp4', 'libx264', '320', '180', '2');
    make('phone.mov', 'libx265', '320', '180', '2');
    makePictures(root, [{ file: 'still.jpg', w: 600, h: 400, colours: '#ffadad-#3a0ca3' }]);
    makeGallery(root, 'Grid.tpl', { videos: 'yes' }, { output: root });
    browser = await launchBrowser();
  });
  after(async () => {
    await browser?.close();
    fs.rmSync(root, { recursive: true, force: true });
  });

  // The video shown: where it is, how far it has loaded and played.
  const shown = (page) => page.evaluate(() => {
    const v = document.querySelector('.pswp__item:not([aria-hidden="true"]) video');
    return v && { src: v.currentSrc, ready: v.readyState, time: v.currentTime, paused: v.paused };
  });

  test('the viewer plays the MP4 itself and the MOV\'s copy', async () => {
    const { context, page, record } = await openPage(browser, root, 'index.html', 1280);
    const marked = await page.$$eval('a.vg-video-tile', (as) => as.map((a) => a.dataset.vg));
    assert.deepEqual(marked.sort(), ['p-clip', 'p-phone']);

    await page.click('a[data-vg="p-clip"]');
    let state = null;
    for (let i = 0; i < 50 && !(state && state.time > 0.2); ++i) {
      state = await shown(page);
      await page.waitForTimeout(100);
    }
    assert.ok(state && state.ready >= 2 && state.time > 0.2, JSON.stringify(state));
    assert.match(state.src, /\/clip\.mp4$/);

    await page.keyboard.press('ArrowRight');
    state = null;
    for (let i = 0; i < 50 && !(state && state.time > 0.2); ++i) {
      state = await shown(page);
      await page.waitForTimeout(100);
    }
    assert.ok(state && state.ready >= 2 && state.time > 0.2, JSON.stringify(state));
    assert.match(state.src, /phone\.mov%40web\.mp4$|phone\.mov@web\.mp4$/);
    const others = await page.$$eval('.pswp video', (vs) => vs.filter((v) => !v.paused).length);
    assert.equal(others, 1, 'only the video shown plays');
    assertClean(record);
    await context.close();
  });
});
