// Galleries made by the real generator from real pictures, and a headless
// chromium to look at them: shared by the page tests and scripts/screenshots.
import { execFileSync } from 'node:child_process';
import crypto from 'node:crypto';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { createRequire } from 'node:module';
import { fileURLToPath } from 'node:url';

export const vignetor = process.env.VIGNETOR;
export const programDir = process.env.PROGRAM_DIR;
export const viewerFiles = ['photoswipe.umd.min.js', 'photoswipe.css', 'photoswipe-LICENSE.txt',
                            'vignetor-viewer.js', 'vignetor-viewer.css'];
const webModules = process.env.WEB_MODULES;

export function chromiumPath() {
  for (const p of ['/usr/bin/chromium', '/usr/bin/chromium-browser']) {
    if (fs.existsSync(p)) return p;
  }
  return null;
}

export async function launchBrowser() {
  const { chromium } = createRequire(path.join(webModules, 'x.js'))('playwright-core');
  // A home of its own: chromium keeps some state there whatever the profile.
  const home = fs.mkdtempSync(path.join(os.tmpdir(), 'vg-chromium-'));
  const browser = await chromium.launch({
    executablePath: chromiumPath(),
    env: { ...process.env, HOME: home },
    args: ['--disable-gpu', '--no-first-run', '--disable-background-networking',
           '--disable-component-update', '--disable-sync'],
  });
  browser.on('disconnected', () => fs.rmSync(home, { recursive: true, force: true }));
  return browser;
}

export function tempDir(tag) {
  return fs.mkdtempSync(path.join(os.tmpdir(), `vg-${tag}-`));
}

// Pictures of several shapes; the large ones exceed the web size, so the
// viewer must show a picture made for it, not the original.
export const pictures = [
  { file: 'IMG_2.jpg', w: 2000, h: 1333, colours: '#f4a259-#3d5a80' },
  { file: 'IMG_10.jpg', w: 1200, h: 1800, colours: '#e0fbfc-#ee6c4d' },
  { file: 'harbour at dusk.jpg', w: 2400, h: 1000, colours: '#293241-#98c1d9' },
  { file: 'Square & small.png', w: 600, h: 600, colours: '#8ecae6-#023047' },
  { file: 'tall.jpg', w: 900, h: 1600, colours: '#ffb703-#fb8500' },
  { file: 'wide.jpg', w: 1800, h: 1200, colours: '#606c38-#fefae0' },
  { file: 'trip/beach.jpg', w: 2000, h: 1500, colours: '#caf0f8-#0077b6' },
  { file: 'trip/hills.jpg', w: 1500, h: 2000, colours: '#d8f3dc-#2d6a4f' },
];

export function makePictures(dir, list = pictures) {
  for (const p of list) {
    const target = path.join(dir, p.file);
    fs.mkdirSync(path.dirname(target), { recursive: true });
    execFileSync('convert', ['-size', `${p.w}x${p.h}`, `gradient:${p.colours}`, '-quality', '85',
                             target]);
  }
}

// Runs the generator; returns its output folder. `values` become the values file.
export function makeGallery(input, template, values,
                            { switches = ['/h200'], output, program = vignetor, subfolders = true } = {}) {
  const out = output || tempDir('out');
  const args = [...switches, ...(subfolders ? ['/s'] : []), '/g', '/pThumb', `/i${template}`];
  if (values) {
    const file = path.join(out, '..', `values-${path.basename(out)}.TMP`);
    fs.writeFileSync(file, Object.entries(values).map(([k, v]) => `${k}=${v}\n`).join(''));
    args.push(`/x${file}`);
  }
  args.push(input, out);
  execFileSync(program, args, { stdio: ['ignore', 'pipe', 'pipe'] });
  return out;
}

// What the pictures and galleries kept by picturesOnce and galleryOnce are
// made from, besides their own arguments: the generator and the files of the
// program directory beside it (templates, viewer), by size and time, and
// this module.
let madeWith;
function makersStamp() {
  if (!madeWith) {
    const hash = crypto.createHash('sha256');
    const files = [vignetor, ...fs.readdirSync(programDir).sort().map((f) => path.join(programDir, f))];
    for (const file of files) {
      const s = fs.statSync(file);
      // Other programs of the directory play no part in a gallery.
      if (!s.isFile() || (file !== vignetor && (s.mode & 0o111))) continue;
      hash.update(`${file}\0${s.size}\0${s.mtimeMs}\n`);
    }
    hash.update(fs.readFileSync(fileURLToPath(import.meta.url)));
    madeWith = hash.digest('hex').slice(0, 16);
  }
  return madeWith;
}

// The folder `name` of the kept pictures and galleries, made by `make(dir)`
// unless it is there. They are kept beside the program directory, shared by
// the tests of a ctest run and by later runs while nothing they are made
// from changes. Tests running side by side may make the same folder at the
// same time: each makes it in a folder of its own, and the first to finish
// puts it in place (a rename, whole or not at all); the others use that one.
function keptFolder(name, make) {
  const kept = path.join(programDir, '..', 'test-galleries');
  const stamp = makersStamp();
  if (fs.mkdirSync(path.join(kept, stamp), { recursive: true })) {
    // Those of a generator or templates built since are of no more use; an
    // hour leaves alone any run still looking at them.
    for (const old of fs.readdirSync(kept)) {
      const dir = path.join(kept, old);
      if (old !== stamp && Date.now() - fs.statSync(dir).mtimeMs > 3600e3)
        fs.rmSync(dir, { recursive: true, force: true });
    }
  }
  const dir = path.join(kept, stamp, name);
  if (!fs.existsSync(dir)) {
    const fresh = fs.mkdtempSync(dir + '-');
    try {
      make(fresh);
      fs.renameSync(fresh, dir);
    } catch (e) {
      fs.rmSync(fresh, { recursive: true, force: true });
      if (!fs.existsSync(dir)) throw e;
    }
  }
  return dir;
}

const digest = (...parts) => {
  const hash = crypto.createHash('sha256');
  for (const p of parts) hash.update(p).update('\0');
  return hash.digest('hex').slice(0, 24);
};

// Pictures made by `fill(dir)` into a folder named `name`, once (keptFolder):
// they change with the test file `from` (import.meta.url), which holds what
// `fill` draws. The test must leave them as they are.
export function picturesOnce(from, fill, name = 'in') {
  const key = digest(fs.readFileSync(fileURLToPath(from)), fill.toString(), name);
  return path.join(keptFolder(`pictures-${key}`, (dir) => fill(path.join(dir, name))), name);
}

// makeGallery's output folder for pictures of picturesOnce, made once
// (keptFolder). The test must leave it as it is.
export function galleryOnce(input, template, values, { switches = ['/h200'], subfolders = true } = {}) {
  const key = digest(JSON.stringify({ input, template, values, switches, subfolders }));
  return path.join(keptFolder(`gallery-${key}`, (dir) => makeGallery(input, template, values,
    { switches, subfolders, output: path.join(dir, 'out') })), 'out');
}

// Pictures like photographs (a fractal landscape of colours, blurred a
// little: about as heavy as a photo), of the shapes galleries meet, with an
// opaque and a transparent PNG among them: for what a page weighs.
export const photos = [
  { file: 'Harbour.jpg', w: 2400, h: 1600 },
  { file: 'IMG_2.jpg', w: 1600, h: 1067 },
  { file: 'IMG_10.jpg', w: 1067, h: 1600 },
  { file: 'Screenshot.png', w: 1280, h: 800 },
  { file: 'Long shore.jpg', w: 2400, h: 900 },
  { file: 'Square.jpg', w: 1200, h: 1200 },
  { file: 'Cut-out.png', w: 900, h: 900, alpha: true },
  { file: 'Small.jpg', w: 640, h: 480 },
  { file: 'Fog.webp', w: 1600, h: 900 },
  { file: 'trip/Desert.jpg', w: 1600, h: 1067 },
  { file: 'trip/Lake.jpg', w: 1067, h: 1600 },
  { file: 'trip/Snow.jpg', w: 2000, h: 1333 },
];

export function makePhotos(dir, list = photos) {
  list.forEach((p, i) => {
    const target = path.join(dir, p.file);
    fs.mkdirSync(path.dirname(target), { recursive: true });
    const args = ['-seed', String(i + 1), '-size', `${p.w}x${p.h}`, 'plasma:fractal', '-blur', '0x1'];
    if (p.alpha) {
      const r = Math.round(Math.min(p.w, p.h) * 0.45);
      args.push('(', '-size', `${p.w}x${p.h}`, 'xc:black', '-fill', 'white', '-draw',
                `circle ${p.w / 2},${p.h / 2} ${p.w / 2},${p.h / 2 - r}`, ')',
                '-alpha', 'off', '-compose', 'copy_opacity', '-composite');
    }
    execFileSync('convert', [...args, '-quality', '88', target]);
  });
}

// makePhotos, drawn once per build (they take seconds) into a folder beside
// the program directory and copied from there; tests running side by side
// may draw them at the same time, and the first to finish keeps its own.
export function makePhotosOnce(dir) {
  const kept = path.join(programDir, '..', 'test-photos-1');
  if (!fs.existsSync(kept)) {
    const fresh = fs.mkdtempSync(kept + '-');
    makePhotos(fresh);
    try {
      fs.renameSync(fresh, kept);
    } catch {
      fs.rmSync(fresh, { recursive: true, force: true });
    }
  }
  fs.cpSync(kept, dir, { recursive: true });
}

// Width and height of a JPEG, PNG or WebP file from its own header.
export function pixelsOf(file) {
  const b = fs.readFileSync(file);
  if (b.readUInt32BE(0) === 0x89504e47) return { w: b.readUInt32BE(16), h: b.readUInt32BE(20) };
  if (b.toString('ascii', 0, 4) === 'RIFF') {
    const kind = b.toString('ascii', 12, 16);
    if (kind === 'VP8X') return { w: 1 + b.readUIntLE(24, 3), h: 1 + b.readUIntLE(27, 3) };
    if (kind === 'VP8L') {
      const v = b.readUInt32LE(21);
      return { w: 1 + (v & 0x3fff), h: 1 + ((v >> 14) & 0x3fff) };
    }
    return { w: b.readUInt16LE(26) & 0x3fff, h: b.readUInt16LE(28) & 0x3fff };
  }
  for (let i = 2; i + 9 < b.length;) {
    if (b[i] !== 0xff) { ++i; continue; }
    const marker = b[i + 1];
    if (marker >= 0xc0 && marker <= 0xcf && ![0xc4, 0xc8, 0xcc].includes(marker))
      return { w: b.readUInt16BE(i + 7), h: b.readUInt16BE(i + 5) };
    i += 2 + b.readUInt16BE(i + 2);
  }
  throw new Error(`no picture size in ${file}`);
}

// Pictures in nested folders, dated by the camera (`taken`) or only by the
// file's time (`modified`), some with a caption: for albums, date order and
// captions. By name the top folder reads harbour, IMG_2, IMG_10; by date
// harbour, IMG_10, IMG_2. "2024" and "2024/Summer" hold no picture of their own.
export const datedPictures = [
  { file: 'IMG_2.jpg', taken: '2024:05:03 09:00:00', caption: 'Breakfast on the terrace' },
  { file: 'IMG_10.jpg', taken: '2024:05:02 09:00:00' },
  { file: 'harbour.jpg', taken: '2024:05:01 18:00:00', caption: 'Harbour at dusk' },
  { file: '2024/Spring/zebra.jpg', taken: '2024:04:01 10:00:00' },
  { file: '2024/Spring/apple.jpg', taken: '2024:04:09 10:00:00', caption: 'Apple blossom' },
  { file: '2024/Summer/Coast/b.jpg', modified: '2024-08-05T12:00:00Z' },
  { file: '2024/Summer/Coast/a.jpg', modified: '2024-08-02T12:00:00Z' },
  { file: 'trip/x.jpg', taken: '2023:12:24 12:00:00' },
];

export function makeDatedPictures(dir, list = datedPictures) {
  list.forEach((p, i) => {
    const target = path.join(dir, p.file);
    fs.mkdirSync(path.dirname(target), { recursive: true });
    const hue = (i * 47) % 360;
    execFileSync('convert', ['-size', i % 3 ? '600x400' : '400x600',
                             `gradient:hsl(${hue},60%,70%)-hsl(${(hue + 120) % 360},50%,30%)`,
                             '-quality', '85', target]);
    const tags = [];
    if (p.taken) tags.push(`-DateTimeOriginal=${p.taken}`);
    if (p.caption) tags.push(`-XMP-dc:Description=${p.caption}`);
    if (tags.length)
      execFileSync('exiftool', ['-q', '-overwrite_original', ...tags, target]);
    const time = new Date(p.modified || '2025-01-15T12:00:00Z');
    fs.utimesSync(target, time, time);
  });
}
