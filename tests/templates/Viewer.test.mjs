// The picture viewer on a page of the real generator made from a bare
// template (no gallery data: the viewer reads the thumbnail links), and on
// pages that load the gallery's script, in
// headless chromium: keys, swipe, buttons, caption, download link,
// preloading, the address fragment and Back.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { after, before, describe, test } from 'node:test';

import {
  chromiumPath, launchBrowser, makeGallery, makePictures, programDir, tempDir, viewerFiles, vignetor,
} from './gallery.mjs';
import {
  assertClean, noSidewaysScroll, openPage, until, viewerClosed, viewerShows,
} from './viewer-checks.mjs';

const here = path.dirname(fileURLToPath(import.meta.url));
const skip = chromiumPath() ? false : 'chromium is not installed';

const shots = [
  { file: 'a1.jpg', w: 800, h: 600, colours: '#ffadad-#3a0ca3' },
  { file: 'a2.png', w: 500, h: 700, colours: '#caffbf-#264653' },
  { file: 'a10.jpg', w: 900, h: 400, colours: '#ffd6a5-#6d597a' },
];

describe('viewer', { skip }, () => {
  let browser, root, program, out, links;

  before(async () => {
    root = tempDir('viewer');
    // A program directory of its own, holding the bare template.
    program = path.join(root, 'program');
    fs.mkdirSync(program);
    fs.copyFileSync(vignetor, path.join(program, 'Vignetor'));
    fs.chmodSync(path.join(program, 'Vignetor'), 0o755);
    fs.copyFileSync(path.join(here, 'fixture', 'Bare.tpl'), path.join(program, 'Bare.tpl'));
    out = path.join(root, 'pictures');
    makePictures(out, shots);
    makeGallery(out, 'Bare.tpl', null, { output: out, program: path.join(program, 'Vignetor') });
    for (const f of viewerFiles) fs.copyFileSync(path.join(programDir, f), path.join(out, f));
    browser = await launchBrowser();
    const probe = await openPage(browser, out, 'index.html', 1280);
    links = await probe.page.$$eval('a[data-vg]', (as) =>
      as.map((a) => ({ id: a.dataset.vg, href: a.getAttribute('href'), caption: a.dataset.vgCaption })));
    await probe.context.close();
    assert.equal(links.length, shots.length);
  });
  after(async () => {
    await browser?.close();
    fs.rmSync(root, { recursive: true, force: true });
  });

  const caption = (page) => page.textContent('.pswp .vg-caption');
  const download = (page) => page.getAttribute('.pswp .vg-download', 'href');

  test('keys and buttons step through the pictures, with caption and download link', async () => {
    const { context, page, record } = await openPage(browser, out, 'index.html', 1280);
    await page.click(`a[data-vg="${links[0].id}"]`);
    assert.equal((await viewerShows(page, links[0].id)).src, links[0].href);
    assert.equal(await caption(page), links[0].caption);
    assert.equal(await download(page), links[0].href);
    // The next picture is fetched before it is asked for.
    await until(() => record.requested.some((u) => u.endsWith('/' + links[1].href)),
                'next picture preloaded');

    await page.keyboard.press('ArrowRight');
    assert.equal((await viewerShows(page, links[1].id)).src, links[1].href);
    assert.equal(await caption(page), links[1].caption);
    assert.equal(await download(page), links[1].href);
    await page.click('.pswp__button--arrow--next');
    await viewerShows(page, links[2].id);
    await page.keyboard.press('ArrowLeft');
    await viewerShows(page, links[1].id);
    await page.click('.pswp__button--arrow--prev');
    await viewerShows(page, links[0].id);
    // From the first picture, previous goes round to the last.
    await page.keyboard.press('ArrowLeft');
    await viewerShows(page, links[2].id);

    await page.click('.pswp__button--close');
    await viewerClosed(page);
    assert.equal(await page.evaluate(() => document.activeElement.dataset.vg), links[2].id);
    assertClean(record);
    await context.close();
  });

  test('a swipe to the left shows the next picture', async () => {
    const { context, page, record } = await openPage(browser, out, 'index.html', 390);
    await page.click(`a[data-vg="${links[0].id}"]`);
    await viewerShows(page, links[0].id);
    await page.mouse.move(300, 420);
    await page.mouse.down();
    for (let x = 300; x >= 60; x -= 20) await page.mouse.move(x, 425);
    await page.mouse.up();
    await viewerShows(page, links[1].id);
    await noSidewaysScroll(page);
    assertClean(record);
    await context.close();
  });

  test('Back closes the viewer, Forward opens it again', async () => {
    const { context, page, record } = await openPage(browser, out, 'index.html', 1280);
    await page.click(`a[data-vg="${links[1].id}"]`);
    await viewerShows(page, links[1].id);
    await page.keyboard.press('ArrowRight');
    await viewerShows(page, links[2].id);
    // Stepping through the pictures adds no history: one Back closes.
    await page.goBack();
    await viewerClosed(page);
    assert.ok(page.url().endsWith('/index.html'));
    await page.goForward();
    await viewerShows(page, links[2].id);
    await page.keyboard.press('Escape');
    await viewerClosed(page);
    assertClean(record);
    await context.close();
  });

  test('the fragment opens a picture; one that names none leaves the page as it is', async () => {
    const direct = await openPage(browser, out, 'index.html', 1280, { hash: `#${links[2].id}` });
    assert.equal((await viewerShows(direct.page, links[2].id)).src, links[2].href);
    await direct.page.keyboard.press('Escape');
    await viewerClosed(direct.page);
    assertClean(direct.record);
    await direct.context.close();

    const other = await openPage(browser, out, 'index.html', 1280, { hash: '#top' });
    assert.equal(await other.page.$('.pswp'), null);
    assert.ok(other.page.url().endsWith('#top'));
    assertClean(other.record);
    await other.context.close();
  });

  test('from the gallery\'s script with viewerpages=one, previous/next keep to the page', async () => {
    fs.copyFileSync(path.join(here, 'fixture', 'Script.tpl'), path.join(program, 'Script.tpl'));
    const paged = path.join(root, 'script');
    makePictures(paged, shots);
    makeGallery(paged, 'Script.tpl', null, { output: paged, program: path.join(program, 'Vignetor') });
    for (const f of viewerFiles) fs.copyFileSync(path.join(programDir, f), path.join(paged, f));
    const { context, page, record } = await openPage(browser, paged, 'index.html', 1280);
    const own = await page.$$eval('a[data-vg]', (as) => as.map((a) => a.dataset.vg));
    assert.equal(own.length, 2);
    // The script lists the whole gallery, once for every page.
    assert.equal(await page.evaluate(() => window.vignetorGallery.pictures.length), shots.length);
    await page.click(`a[data-vg="${own[1]}"]`);
    await viewerShows(page, own[1]);
    await page.keyboard.press('ArrowRight');
    await viewerShows(page, own[0]);
    await page.keyboard.press('Escape');
    await viewerClosed(page);
    assertClean(record);
    await context.close();
  });
});
