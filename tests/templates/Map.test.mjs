// The map of the shipped templates that offer one (map=yes) in chromium, the pages opened
// from disk and the tiles from a small server of this test: nothing of the
// map is loaded until its button is pressed; then the map shows the
// pictures with a position, two close together in one cluster, and a
// marker opens the viewer at its picture. With the defaults the page
// offers no map and its data holds no position.
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import http from 'node:http';
import { createRequire } from 'node:module';
import path from 'node:path';
import zlib from 'node:zlib';
import { after, before, describe, test } from 'node:test';

import { chromiumPath, launchBrowser, makeGallery, makePictures, tempDir } from './gallery.mjs';
import { galleryData, openPage, viewerShows } from './viewer-checks.mjs';

const skip = !chromiumPath() ? 'chromium is not installed'
  : !fs.existsSync('/usr/bin/exiftool') ? 'exiftool is not installed' : false;

const list = [
  { file: 'tower.jpg', w: 1200, h: 800, colours: '#f4a259-#3d5a80' },
  { file: 'river.jpg', w: 800, h: 1200, colours: '#e0fbfc-#ee6c4d' },
  { file: 'harbour.jpg', w: 1000, h: 700, colours: '#293241-#98c1d9' },
  { file: 'nowhere.jpg', w: 600, h: 600, colours: '#8ecae6-#023047' },
];
const places = { tower: [48.85837, 2.294481], river: [48.8566, 2.3522], harbour: [43.2965, 5.3698] };

// A 256 x 256 grey PNG, the one tile the server gives for any address.
function tile() {
  const row = Buffer.alloc(1 + 256 * 3, 0xc8);
  row[0] = 0;
  const rows = Buffer.concat(Array.from({ length: 256 }, () => row));
  const chunk = (type, data) => {
    const len = Buffer.alloc(4);
    len.writeUInt32BE(data.length);
    const body = Buffer.concat([Buffer.from(type), data]);
    const crc = Buffer.alloc(4);
    crc.writeUInt32BE(zlib.crc32(body) >>> 0);
    return Buffer.concat([len, body, crc]);
  };
  const head = Buffer.alloc(13);
  head.writeUInt32BE(256, 0);
  head.writeUInt32BE(256, 4);
  head[8] = 8;
  head[9] = 2;
  return Buffer.concat([Buffer.from([0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a]),
                        chunk('IHDR', head), chunk('IDAT', zlib.deflateSync(rows)),
                        chunk('IEND', Buffer.alloc(0))]);
}

const templates = ['Albums.tpl', 'Grid.tpl', 'Justified.tpl'];

describe('map', { skip }, () => {
  let browser, server, tiles = 0, plain;
  const out = {};

  before(async () => {
    const png = tile();
    server = http.createServer((req, res) => {
      ++tiles;
      res.writeHead(200, { 'Content-Type': 'image/png', 'Access-Control-Allow-Origin': '*' });
      res.end(png);
    });
    await new Promise((done) => server.listen(0, '127.0.0.1', done));
    const input = tempDir('map-in');
    makePictures(input, list);
    for (const [name, [lat, lon]] of Object.entries(places))
      execFileSync('exiftool', ['-q', '-overwrite_original', `-GPSLatitude=${lat}`, '-GPSLatitudeRef=N',
                                `-GPSLongitude=${lon}`, '-GPSLongitudeRef=E', path.join(input, `${name}.jpg`)]);
    const address = `http://127.0.0.1:${server.address().port}/{z}/{x}/{y}.png`;
    for (const t of templates)
      out[t] = makeGallery(input, t, { title: 'Map', perpage: 0, map: 'yes', maptiles: address,
                                       mapattribution: 'Test tiles <b>' }, { subfolders: false });
    plain = makeGallery(input, 'Albums.tpl', { title: 'No map' }, { subfolders: false });
    browser = await launchBrowser();
  });

  after(async () => {
    if (browser) await browser.close();
    if (server) server.close();
  });

  for (const t of templates) test(`${t}: opens from disk, clusters and opens the viewer at a marker`, async () => {
    tiles = 0;
    const { page, record } = await openPage(browser, out[t], 'index.html', 1280);
    const button = page.locator('button[data-vg-map]');
    await button.waitFor({ state: 'visible' });
    // Nothing of the map before the button is pressed.
    await page.waitForTimeout(300);
    assert.equal(tiles, 0);
    assert.deepEqual(record.requested.filter((u) => /leaflet|MarkerCluster|vignetor-map/i.test(u)), []);

    await button.click();
    await page.waitForSelector('.vg-map .leaflet-tile-loaded');
    assert.ok(tiles > 0);
    // The attribution as text, and the two places in Paris in one cluster.
    assert.match(await page.locator('.leaflet-control-attribution').innerText(), /Test tiles <b>/);
    await page.waitForSelector('.vg-map .marker-cluster');
    assert.equal(await page.locator('.vg-map .marker-cluster').innerText(), '2');
    // axe finds nothing wrong with the map open.
    const need = createRequire(path.join(process.env.WEB_MODULES, 'x.js'));
    await page.evaluate(fs.readFileSync(need.resolve('axe-core/axe.min.js'), 'utf8'));
    const violations = await page.evaluate(async () =>
      (await window.axe.run(document.querySelector('.vg-map'), { resultTypes: ['violations'], preload: false }))
        .violations.map((v) => `${v.id}: ${v.nodes.map((n) => n.target.join(' ')).join(', ')}`));
    assert.deepEqual(violations, []);
    const pin = page.locator('.vg-map [data-vg-pin="p-harbour"]');
    await pin.click();
    await viewerShows(page, 'p-harbour');
    assert.ok(await page.locator('.vg-map').isHidden());
    assert.deepEqual(record.errors, []);
    assert.deepEqual(record.failed, []);
    await page.context().close();
  });

  test('the defaults offer no map and no position', async () => {
    const { page } = await openPage(browser, plain, 'index.html', 1280);
    await page.waitForLoadState('load');
    assert.ok(await page.locator('button[data-vg-map]').isHidden());
    const data = await galleryData(page);
    assert.equal(data.length, 4);
    assert.ok(data.every((it) => it.lat === undefined && it.lon === undefined));
    await page.context().close();
  });
});
