// Every shipped template, made by the real generator from dated pictures in
// nested folders: in name order by default and in date order when asked
// (where the template asks for the order),
// and a picture's caption shown first on its card, its file name after it
// and smaller; a picture without one shows its file name. Where the
// template puts the picture first (photoFirst), each card's picture is at
// least as high as the text under it, and no card is taller than twice its
// picture's frame.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { after, before, describe, test } from 'node:test';

import {
  chromiumPath, galleryOnce, launchBrowser, makeDatedPictures, picturesOnce, programDir,
} from './gallery.mjs';
import { assertClean, galleryData, noSidewaysScroll, openPage } from './viewer-checks.mjs';

const skip = chromiumPath() ? false : 'chromium is not installed';
const templates = fs.readdirSync(programDir).filter((f) => f.endsWith('.tpl')).sort();
const byName = ['p-harbour', 'p-IMG_2', 'p-IMG_10', 'p-2024-Spring-apple', 'p-2024-Spring-zebra',
                'p-2024-Summer-Coast-a', 'p-2024-Summer-Coast-b', 'p-trip-x'];
// By date the folders too, by their first picture taken: trip (2023-12-24),
// Spring (2024-04-01), the top folder (2024-05-01), then Coast, whose
// pictures have no date taken.
const byDate = ['p-trip-x', 'p-2024-Spring-zebra', 'p-2024-Spring-apple', 'p-harbour', 'p-IMG_10', 'p-IMG_2',
                'p-2024-Summer-Coast-a', 'p-2024-Summer-Coast-b'];
// With nested albums each album is followed by those inside it: Coast lies
// in 2024, whose first picture is Spring's.
const byDateNested = ['p-trip-x', 'p-2024-Spring-zebra', 'p-2024-Spring-apple', 'p-2024-Summer-Coast-a',
                      'p-2024-Summer-Coast-b', 'p-harbour', 'p-IMG_10', 'p-IMG_2'];

// The texts of a picture's card in the order they stand, with their sizes,
// leaving out what is not shown.
async function cardTexts(page, id) {
  return page.$eval(`a[data-vg="${id}"]`, (link) => {
    const card = link.closest('figure, td');
    const texts = [];
    const walker = document.createTreeWalker(card, NodeFilter.SHOW_TEXT);
    for (let n = walker.nextNode(); n; n = walker.nextNode()) {
      const text = n.textContent.trim();
      if (!text || n.parentElement.closest('[hidden]')) continue;
      let shown = true;
      for (let e = n.parentElement; e && e !== card.parentElement; e = e.parentElement)
        if (getComputedStyle(e).display === 'none') shown = false;
      if (shown) texts.push({ text, size: parseFloat(getComputedStyle(n.parentElement).fontSize) });
    }
    return texts;
  });
}

const photoFirst = ['Grid.tpl', 'Albums.tpl'];

async function picturesFirst(page, at) {
  const cards = await page.$$eval('figure:has(a[data-vg])', (figures) => figures.map((f) => {
    const h = (e) => e.getBoundingClientRect().height;
    return { id: f.querySelector('a[data-vg]').dataset.vg, card: h(f), frame: h(f.querySelector('a[data-vg]')),
             picture: h(f.querySelector('a[data-vg] img')), text: h(f.querySelector('figcaption')) };
  }));
  for (const c of cards) {
    assert.ok(c.picture >= c.text && c.card <= 2 * c.frame, `${at}: ${JSON.stringify(c)}`);
  }
}

describe('captions and order in every shipped template', { skip }, () => {
  let browser, input;
  before(async () => {
    input = picturesOnce(import.meta.url, makeDatedPictures);
    browser = await launchBrowser();
  });
  after(async () => {
    await browser?.close();
  });

  for (const template of templates) {
    test(template, async () => {
      // Filmstrip2 asks for nothing, so it stays in name order whatever is
      // asked.
      const text = fs.readFileSync(path.join(programDir, template), 'utf8');
      const asksOrder = text.includes('\norder;');
      const dated = text.includes('{{subalbums}}') ? byDateNested : byDate;
      for (const [order, expected] of [[undefined, byName], ['date', asksOrder ? dated : byName]]) {
        const values = { title: 'Order', perpage: '0', ...(order ? { order } : {}) };
        const out = galleryOnce(input, template, values, { switches: ['/h100'] });
        for (const width of [390, 1280]) {
          const at = `${template} ${order || 'by default'} at ${width} px`;
          const probe = await openPage(browser, out, 'index.html', width);
          const pages = [...new Set((await galleryData(probe.page)).map((d) => d.page))];
          await probe.context.close();
          const ids = [];
          let checked = 0;
          for (const file of pages) {
            const { context, page, record } = await openPage(browser, out, file, width);
            await noSidewaysScroll(page);
            const here = await page.$$eval('a[data-vg]', (as) => as.map((a) => a.dataset.vg));
            if (photoFirst.includes(template)) await picturesFirst(page, at);
            ids.push(...here);
            if (here.includes('p-harbour')) {
              ++checked;
              const captioned = await cardTexts(page, 'p-harbour');
              assert.equal(captioned[0]?.text, 'Harbour at dusk', `${at}: ${JSON.stringify(captioned)}`);
              const name = captioned.find((t) => t.text === 'harbour.jpg');
              assert.ok(name && name.size < captioned[0].size, `${at}: ${JSON.stringify(captioned)}`);
              const plain = await cardTexts(page, 'p-IMG_10');
              assert.equal(plain[0]?.text, 'IMG_10.jpg', `${at}: ${JSON.stringify(plain)}`);
            }
            assertClean(record);
            await context.close();
          }
          assert.deepEqual(ids, expected, at);
          assert.equal(checked, 1, `${at}: the captioned picture's card`);
        }
      }
    });
  }
});
