// Screenshots of every shipped template at a phone's and a desktop's width,
// made from drawn landscapes by the real generator, into docs/gallery/; and
// again at 100 and 200 px thumbnails into docs/screenshots/ (Grid-1280-100.png),
// with the album template's index and album pages, from landscapes in
// nested folders with dates and captions.
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
const albumTarget = path.join(root, 'docs', 'screenshots');
// The thumbnail sizes of the screenshots in docs/screenshots/.
const sizes = ['/h100', '/h200'];
// A screenshot of the page, as small as a PNG of it gets (the palette of
// pngquant where it is installed).
async function shoot(page, file) {
  await page.screenshot({ path: file });
  try {
    execFileSync('pngquant', ['--force', '--skip-if-larger', '--quality', '70-95', '--output', file, file]);
  } catch {
    // Not installed, or no smaller: the screenshot as it is.
  }
  console.log(file);
}

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
// Albums are shown on folders of their own, below.
const flat = templates.filter((t) => t !== 'Albums.tpl');
const work = tempDir('shots');
const input = path.join(work, 'Holiday 2026');
for (const s of scenes) drawScene(input, s);
fs.mkdirSync(target, { recursive: true });

const browser = await launchBrowser();
// The pictures in view, loaded as a visitor's browser loads them.
async function loadInView(page) {
  await page.evaluate(async () => {
    for (const img of document.images) {
      const r = img.getBoundingClientRect();
      if (r.top >= innerHeight || r.left >= innerWidth) continue;
      if (!img.complete) await new Promise((done) => { img.onload = img.onerror = done; });
    }
    await new Promise((r) => setTimeout(r, 300));
  });
}

for (const template of flat) {
  const name = template.replace(/\.tpl$/, '');
  const values = { title: 'Holiday 2026', intro: 'Two weeks by the sea and in the hills.' };
  const out = makeGallery(input, template, values, { switches: [size], output: path.join(work, name) });
  for (const [width, height] of [[390, 844], [1280, 800]]) {
    for (const colorScheme of width > 400 ? ['light', 'dark'] : ['light']) {
      const { context, page } = await openPage(browser, out, 'index.html', width, { colorScheme });
      await page.setViewportSize({ width, height });
      await loadInView(page);
      await shoot(page, path.join(target, `${name}-${width}${colorScheme === 'dark' ? '-dark' : ''}.png`));
      await context.close();
    }
  }
  fs.mkdirSync(albumTarget, { recursive: true });
  for (const thumbs of sizes) {
    const made = makeGallery(input, template, values,
                             { switches: [thumbs], output: path.join(work, `${name}${thumbs.slice(1)}`) });
    for (const [width, height] of [[390, 844], [1280, 800]]) {
      const { context, page } = await openPage(browser, made, 'index.html', width, { height });
      await loadInView(page);
      await shoot(page, path.join(albumTarget, `${name}-${width}-${thumbs.slice(2)}.png`));
      await context.close();
    }
  }
}
// The viewer, once, on a phone.
if (templates.includes('Grid.tpl') && (!only || only.includes('viewer.tpl'))) {
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
                          { switches: [size], output: path.join(work, 'viewer') });
  for (const [width, height] of [[390, 844], [1280, 800]]) {
    for (const [what, colorScheme] of [['details', 'light'], ['strip', 'dark']]) {
      const { context, page } = await openPage(browser, out, 'index.html', width, { colorScheme, height });
      const first = await page.getAttribute('a[data-vg]', 'data-vg');
      await page.click('a[data-vg] img');
      await viewerShows(page, first);
      if (what === 'details') await page.keyboard.press('i');
      // On these screens the strip waits to be asked for.
      else await page.keyboard.press('t');
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

// Albums: a year of trips in folders, dated by the camera, some captioned.
if (templates.includes('Albums.tpl')) {
  const albums = path.join(work, 'Travels');
  const placed = [
    ['Harbour at dusk', '', '2025:05:01 20:10:00', 'Boats coming in at dusk'],
    ['IMG_2', '', '2025:05:02 09:00:00'],
    ['Summer field', '', '2025:05:03 16:30:00'],
    ['Morning fog', '2025/Alps/Valley', '2025:07:14 06:40:00', 'Fog in the valley at dawn'],
    ['Pines', '2025/Alps/Valley', '2025:07:14 11:05:00'],
    ['Tall cliff', '2025/Alps/Ridge', '2025:07:16 13:20:00'],
    ['IMG_10', '2025/Alps/Ridge', '2025:07:17 08:15:00'],
    ['Long shore', '2025/Coast', '2025:08:02 19:45:00', 'The long shore at low tide'],
    ['trip/Desert road', '2025/Desert', '2025:10:09 15:00:00'],
    ['trip/Night', '2025/Desert', '2025:10:10 23:30:00', 'Stars over the camp'],
    ['trip/Lake', 'Winter', '2025:12:28 12:00:00'],
    ['trip/Snow', 'Winter', '2025:12:30 10:20:00'],
  ];
  for (const [scene, folder, taken, caption] of placed) {
    const s = scenes.find((x) => x[0] === scene);
    const base = path.basename(scene);
    drawScene(path.join(albums, folder), [base, ...s.slice(1)]);
    const file = path.join(albums, folder, base + '.jpg');
    execFileSync('exiftool', ['-q', '-overwrite_original', `-DateTimeOriginal=${taken}`,
                              ...(caption ? [`-XMP-dc:Description=${caption}`] : []), file]);
  }
  fs.mkdirSync(albumTarget, { recursive: true });
  // The index, the first album on it and the album of 2025, which holds
  // albums of its own; at the default size, and at each size of sizes.
  for (const thumbs of [size, ...sizes]) {
    const out = makeGallery(albums, 'Albums.tpl', { title: 'Travels 2025', order: 'date' },
                            { switches: [thumbs], output: path.join(work, `Albums${thumbs.slice(1)}`) });
    const suffix = thumbs === size ? '' : `-${thumbs.slice(2)}`;
    for (const [width, height] of [[390, 844], [1280, 800]]) {
      const probe = await openPage(browser, out, 'index.html', width, { height });
      const links = await probe.page.$$eval('main a[href]:not([data-vg])', (as) => as.map((a) => ({
        href: a.getAttribute('href'), text: a.innerText })));
      await probe.context.close();
      const year = links.find((l) => /^2025\b/.test(l.text.trim())) || links[links.length - 1];
      for (const [what, file] of [['index', 'index.html'], ['album', links[0].href], ['nested', year.href]]) {
        const { context, page } = await openPage(browser, out, file, width, { height });
        await loadInView(page);
        await shoot(page, path.join(albumTarget, `albums-${what}-${width}${suffix}.png`));
        await context.close();
      }
    }
  }
}
await browser.close();
fs.rmSync(work, { recursive: true, force: true });
