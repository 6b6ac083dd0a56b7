// Screenshots of every shipped template at a phone's and a desktop's width,
// made from drawn landscapes by the real generator, into docs/gallery/.
// Run through scripts/gallery-screenshots, which sets the paths.
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

import { launchBrowser, makeGallery, programDir, tempDir } from '../tests/templates/gallery.mjs';
import { openPage, viewerShows } from '../tests/templates/viewer-checks.mjs';

const root = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '..');
// SIZE=/h100 makes the thumbnails another size; TARGET=dir puts the
// screenshots elsewhere.
const target = process.env.TARGET || path.join(root, 'docs', 'gallery');
const size = process.env.SIZE || '/h240';

// Sky, sun and two ranges of hills, in the colours of a time of day.
const scenes = [
  ['Harbour at dusk', 1600, 1067, '#ffb677', '#5a3d8a', '#ffe29a', '#3b2e5a', '#231a3a'],
  ['IMG_2', 1600, 1067, '#bfe6ff', '#4a90c2', '#fff6c9', '#5f8f5a', '#2f5d3a'],
  ['IMG_10', 1067, 1600, '#ffd1dc', '#7b4b94', '#fff0f5', '#55406e', '#2d2244'],
  ['Morning fog', 1600, 900, '#f2f2ee', '#a9b7c0', '#ffffff', '#8e9ea8', '#6b7d88'],
  ['Pines', 1200, 1200, '#c6ecd9', '#2f7f6f', '#fafff0', '#2e6e4f', '#16402c'],
  ['Long shore', 2400, 900, '#ffe0b2', '#e07a5f', '#fff3d6', '#3d405b', '#24263b'],
  ['Tall cliff', 1000, 1600, '#d0e8f2', '#456990', '#ffffff', '#6b4f3f', '#3b2a20'],
  ['Summer field', 1600, 1067, '#9fd3ff', '#2a6fdb', '#fffbe0', '#9bc53d', '#5b8c2a'],
  ['trip/Desert road', 1600, 1067, '#ffe8c2', '#f28f3b', '#fff7e0', '#c8553d', '#8c3b2a'],
  ['trip/Night', 1600, 1067, '#1b2a49', '#0b1020', '#f4f1de', '#2a3b5f', '#141d33'],
  ['trip/Lake', 1067, 1600, '#e3f6f5', '#6bb7c9', '#ffffff', '#3a7d7b', '#1f4e4d'],
  ['trip/Snow', 1600, 1067, '#f0f6ff', '#b9cde5', '#ffffff', '#dfe9f5', '#9fb6cf'],
];

function drawScene(dir, [name, w, h, skyTop, skyBottom, sun, far, near]) {
  const file = path.join(dir, name + '.jpg');
  fs.mkdirSync(path.dirname(file), { recursive: true });
  const y = (f) => Math.round(h * f);
  const x = (f) => Math.round(w * f);
  const ridge = (base, amp, n, phase) => {
    const pts = [];
    for (let i = 0; i <= n; ++i)
      pts.push(`${x(i / n)},${y(base + amp * Math.sin(i * 1.7 + phase) * (i % 2 ? 1 : 0.6))}`);
    return `polygon ${pts.join(' ')} ${w},${h} 0,${h}`;
  };
  execFileSync('convert', ['-size', `${w}x${h}`, `gradient:${skyTop}-${skyBottom}`,
    '-fill', sun, '-draw', `circle ${x(0.68)},${y(0.42)} ${x(0.68)},${y(0.42) - Math.round(Math.min(w, h) * 0.07)}`,
    '-fill', far, '-draw', ridge(0.66, 0.07, 7, name.length),
    '-fill', near, '-draw', ridge(0.8, 0.06, 5, name.length * 2),
    '-quality', '88', file]);
}

// ONLY=Grid,Table makes those alone.
const only = process.env.ONLY ? process.env.ONLY.split(',').map((t) => t + '.tpl') : null;
const templates = fs.readdirSync(programDir).filter((f) => f.endsWith('.tpl') && (!only || only.includes(f))).sort();
const work = tempDir('shots');
const input = path.join(work, 'Holiday 2026');
for (const s of scenes) drawScene(input, s);
fs.mkdirSync(target, { recursive: true });

const browser = await launchBrowser();
for (const template of templates) {
  const name = template.replace(/\.tpl$/, '');
  const out = makeGallery(input, template, { title: 'Holiday 2026', intro: 'Two weeks by the sea and in the hills.' },
                          { switches: [size], output: path.join(work, name) });
  for (const [width, height] of [[390, 844], [1280, 800]]) {
    for (const colorScheme of width > 400 ? ['light', 'dark'] : ['light']) {
      const { context, page } = await openPage(browser, out, 'index.html', width, { colorScheme });
      await page.setViewportSize({ width, height });
      // The pictures in view, loaded as a visitor's browser loads them.
      await page.evaluate(async () => {
        for (const img of document.images) {
          const r = img.getBoundingClientRect();
          if (r.top >= innerHeight || r.left >= innerWidth) continue;
          if (!img.complete) await new Promise((done) => { img.onload = img.onerror = done; });
        }
        await new Promise((r) => setTimeout(r, 300));
      });
      const file = path.join(target, `${name}-${width}${colorScheme === 'dark' ? '-dark' : ''}.png`);
      await page.screenshot({ path: file });
      console.log(file);
      await context.close();
    }
  }
}
// The viewer, once, on a phone.
if (templates.includes('Grid.tpl')) {
  const out = path.join(work, 'Grid');
  const { context, page } = await openPage(browser, out, 'index.html', 390);
  const first = await page.getAttribute('a[data-vg]', 'data-vg');
  await page.click('a[data-vg] img');
  await viewerShows(page, first);
  await page.waitForTimeout(600);
  await page.screenshot({ path: path.join(target, 'viewer-390.png') });
  await context.close();
}
// The viewer with its details panel and with its strip of thumbnails, at
// both widths, into docs/screenshots/: from pictures that say what they show.
if (!only || only.includes('viewer.tpl')) {
  const shots = path.join(root, 'docs', 'screenshots');
  fs.mkdirSync(shots, { recursive: true });
  const tagged = path.join(work, 'Tagged');
  for (const s of scenes.slice(0, 6)) drawScene(tagged, s);
  execFileSync('exiftool', ['-q', '-overwrite_original', '-XMP-dc:Title=Harbour at dusk',
    '-XMP-dc:Description=The fishing boats come home as the sun sets behind the hills.',
    '-DateTimeOriginal=2026:07:14 20:41:09', '-Make=Fujifilm', '-Model=X-T5', '-LensModel=XF 35mm F1.4 R',
    '-ExposureTime=1/250', '-FNumber=5.6', '-ISO=160', '-FocalLength=35',
    path.join(tagged, 'Harbour at dusk.jpg')]);
  const out = makeGallery(tagged, 'Grid.tpl', { title: 'Holiday 2026' },
                          { switches: ['/h240'], output: path.join(work, 'viewer') });
  for (const [width, height] of [[390, 844], [1280, 800]]) {
    for (const [what, colorScheme] of [['details', 'light'], ['strip', 'dark']]) {
      const { context, page } = await openPage(browser, out, 'index.html', width, { colorScheme, height });
      const first = await page.getAttribute('a[data-vg]', 'data-vg');
      await page.click('a[data-vg] img');
      await viewerShows(page, first);
      if (what === 'details') await page.keyboard.press('i');
      // The strip's thumbnails loaded, the picture settled.
      await page.evaluate(async () => {
        for (const img of document.querySelectorAll('.vg-strip img, .vg-backdrop')) {
          if (!img.complete) await new Promise((done) => { img.onload = img.onerror = done; });
        }
      });
      await page.waitForTimeout(700);
      const file = path.join(shots, `viewer-${what}-${width}.png`);
      await page.screenshot({ path: file });
      console.log(file);
      await context.close();
    }
  }
}
await browser.close();
fs.rmSync(work, { recursive: true, force: true });
