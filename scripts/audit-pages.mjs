// Audits every shipped template: Lighthouse (mobile and desktop) and axe
// (the viewer closed and open) on a gallery made by the real generator from
// pictures like photographs at the form's first thumbnail size, served over
// HTTP from 127.0.0.1. Run through scripts/audit-pages, which sets the paths.
import fs from 'node:fs';
import http from 'node:http';
import path from 'node:path';
import { createRequire } from 'node:module';
import { fileURLToPath, pathToFileURL } from 'node:url';

import { chromiumPath, launchBrowser, makeGallery, makePhotos, programDir, tempDir } from '../tests/templates/gallery.mjs';

const root = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '..');
const modules = process.env.WEB_MODULES;
const need = createRequire(path.join(modules, 'x.js'));
const importModule = (name) => import(pathToFileURL(need.resolve(name)).href);
const lighthouse = (await importModule('lighthouse')).default;
const desktop = (await import(pathToFileURL(path.join(modules, 'lighthouse/core/config/desktop-config.js')).href)).default;
const chromeLauncher = await importModule('chrome-launcher');
const axeSource = fs.readFileSync(need.resolve('axe-core/axe.min.js'), 'utf8');

const types = { '.html': 'text/html; charset=utf-8', '.js': 'text/javascript', '.css': 'text/css',
                '.jpg': 'image/jpeg', '.png': 'image/png', '.webp': 'image/webp', '.gif': 'image/gif',
                '.txt': 'text/plain' };
function serve(dir) {
  const server = http.createServer((req, res) => {
    const rel = decodeURIComponent(new URL(req.url, 'http://x').pathname);
    const file = path.join(dir, path.normalize(rel).replace(/^(\.\.[/\\])+/, ''));
    if (!file.startsWith(dir) || !fs.existsSync(file) || fs.statSync(file).isDirectory()) {
      res.writeHead(404).end('not found');
      return;
    }
    res.writeHead(200, { 'content-type': types[path.extname(file).toLowerCase()] || 'application/octet-stream',
                         'cache-control': 'max-age=3600' });
    fs.createReadStream(file).pipe(res);
  });
  return new Promise((done) => server.listen(0, '127.0.0.1', () => done(server)));
}

const only = process.env.ONLY ? process.env.ONLY.split(',').map((t) => t + '.tpl') : null;
const templates = fs.readdirSync(programDir).filter((f) => f.endsWith('.tpl') && (!only || only.includes(f))).sort();
const work = tempDir('audit');
const site = path.join(work, 'site');
const input = path.join(work, 'Holiday 2026');
makePhotos(input);
fs.mkdirSync(site);
for (const t of templates) {
  makeGallery(input, t, { title: 'Holiday 2026', intro: 'Two weeks by the sea and in the hills.' },
              { switches: ['/h100'], output: path.join(site, t.replace(/\.tpl$/, '')) });
}
const server = await serve(site);
const base = `http://127.0.0.1:${server.address().port}/`;

const chrome = await chromeLauncher.launch({
  chromePath: chromiumPath(),
  chromeFlags: ['--headless=new', '--no-sandbox', '--disable-gpu', '--no-first-run',
                '--disable-background-networking', '--disable-component-update', '--disable-sync'],
});
const browser = await launchBrowser();
const rows = [];
const score = (c) => Math.round(c.score * 100);
// Each template's index.html; where that is an album index (no picture of
// its own), an album's page as well.
const audited = [];
for (const t of templates) {
  const name = t.replace(/\.tpl$/, '');
  const folder = `${base}${encodeURIComponent(name)}/`;
  audited.push({ name, url: folder + 'index.html' });
  if (!fs.readFileSync(path.join(site, name, 'index.html'), 'utf8').includes('data-vg='))
    audited.push({ name: `${name}, an album`, url: folder + 'index-2.html' });
}
for (const { name, url } of audited) {
  const row = { name };
  for (const [mode, config] of [['mobile', undefined], ['desktop', desktop]]) {
    const result = await lighthouse(url, { port: chrome.port, output: 'json', logLevel: 'error' }, config);
    const c = result.lhr.categories;
    const lcp = result.lhr.audits['largest-contentful-paint'].numericValue / 1000;
    row[mode] = `${score(c.performance)} / ${score(c.accessibility)} / ${score(c['best-practices'])} / ${score(c.seo)}` +
                ` (LCP ${lcp.toFixed(1)} s)`;
    const failed = Object.values(result.lhr.audits)
      .filter((a) => a.score !== null && a.score < 0.9 && a.scoreDisplayMode !== 'informative' &&
                     a.scoreDisplayMode !== 'manual' && a.scoreDisplayMode !== 'notApplicable')
      .map((a) => a.id);
    if (failed.length) console.error(`${name} ${mode}: below 90: ${failed.join(', ')}`);
  }
  // axe, the viewer closed and open.
  const context = await browser.newContext({ viewport: { width: 1280, height: 800 } });
  const page = await context.newPage();
  await page.goto(url, { waitUntil: 'load' });
  const axe = async () => {
    await page.evaluate(axeSource);
    const r = await page.evaluate(() => window.axe.run(document, { resultTypes: ['violations'] }));
    for (const v of r.violations) console.error(`${name}: axe ${v.id}: ${v.nodes.length} (${v.help})`);
    return r.violations.length;
  };
  const closed = await axe();
  let open = '-';
  if (await page.$('a[data-vg] img')) {
    await page.click('a[data-vg] img');
    await page.waitForSelector('.pswp--open img.pswp__img');
    await page.waitForTimeout(500);
    open = await axe();
  }
  row.axe = `${closed} / ${open}`;
  await context.close();
  rows.push(row);
  console.error(`${name}: done`);
}
await browser.close();
await chrome.kill();
server.close();
fs.rmSync(work, { recursive: true, force: true });

const table = ['| Template | Mobile: perf. / access. / best pr. / SEO | Desktop: the same | axe violations, viewer closed / open |',
               '|---|---|---|---|',
               ...rows.map((r) => `| ${r.name} | ${r.mobile} | ${r.desktop} | ${r.axe} |`)].join('\n');
console.log(table);
if (process.argv.includes('--readme')) {
  const readme = path.join(root, 'README.md');
  const text = fs.readFileSync(readme, 'utf8');
  const begin = '<!-- audit:begin -->', end = '<!-- audit:end -->';
  const a = text.indexOf(begin), b = text.indexOf(end);
  if (a < 0 || b < a) throw new Error('README.md has no audit markers');
  fs.writeFileSync(readme, text.slice(0, a + begin.length) + '\n' + table + '\n' + text.slice(b));
}
