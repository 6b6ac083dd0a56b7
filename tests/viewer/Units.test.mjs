// The parts of the viewer that hang on no page: what its details say, the
// sizes and settings it reads, the window of its strip and the room it
// leaves the picture.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { sizeOf } from '../../templates/viewer/data.js';
import { details, fileSize } from '../../templates/viewer/details.js';
import { slideshowSettings } from '../../templates/viewer/slideshow.js';
import { STRIP_MARGIN, STRIP_SIDE, stripWindow, thumbRatio } from '../../templates/viewer/strip.js';
import { padding } from '../../templates/viewer/viewer.js';

test('file sizes', () => {
  for (const [bytes, text] of [[1, '1 B'], [1023, '1023 B'], [1024, '1.0 KB'], [1536, '1.5 KB'],
                               [10 * 1024, '10 KB'], [1048576, '1.0 MB'],
                               [5.5 * 2 ** 30, '5.5 GB'], [2 ** 51, '2048 TB']])
    assert.equal(fileSize(bytes), text, String(bytes));
});

test('details list only what the picture has', () => {
  const base = { id: 'a', web: 'a.jpg', picture: 'a.jpg', alt: 'a', thumb: '', w: 1, h: 1 };
  assert.deepEqual(details({ ...base, caption: '' }), []);
  assert.deepEqual(details({ ...base, caption: 'Sea', pw: 0, ph: 300, bytes: 0 }), [['Caption', 'Sea']]);
  assert.deepEqual(details({ ...base, caption: 'By the sea', title: 'Sea', date: '2024-05-01 10:20',
                             camera: 'Cam', lens: '50 mm', exposure: '1/200 s', pw: 4000, ph: 3000,
                             bytes: 2500000 }),
                   [['Title', 'Sea'], ['Description', 'By the sea'], ['Taken', '2024-05-01 10:20'],
                    ['Camera', 'Cam'], ['Lens', '50 mm'], ['Exposure', '1/200 s'],
                    ['Size', '4000 \u00d7 3000 pixels'], ['File size', '2.4 MB']]);
});

test('sizes of the links', () => {
  for (const [text, w, h] of [['640x480', 640, 480], ['640', 640, 0], ['', 0, 0], [null, 0, 0],
                              ['wide x high', 0, 0], ['12.7x9', 12, 9]])
    assert.deepEqual(sizeOf(text), { w, h }, String(text));
});

test('slideshow settings', () => {
  for (const [seconds, end, interval, wrap] of [
    [null, null, 5000, true], ['', '', 5000, true], ['2.5', 'wrap', 2500, true],
    ['0.2', ' STOP ', 1000, false], ['7200', 'stop', 3600000, false], ['-3', 'other', 5000, true],
    ['soon', null, 5000, true]])
    assert.deepEqual(slideshowSettings(seconds, end), { interval, wrap }, `${seconds} ${end}`);
});

test('the strip keeps a window around the picture shown', () => {
  const side = STRIP_SIDE, margin = STRIP_MARGIN, whole = 2 * side + 1;
  for (const [at, total, from, to, want] of [
    // nothing made yet: the window, cut at the ends of the gallery
    [0, 5, 0, 0, [0, 5]], [500, 1000, 0, 0, [500 - side, 500 + side + 1]], [990, 1000, 0, 0, [990 - side, 1000]],
    // a small gallery, all of it made: kept
    [4, 5, 0, 5, null],
    // within the window, short of its margins: kept
    [300, 1000, 200, 200 + whole, null], [200 + margin, 1000, 200, 200 + whole, null],
    [200 + whole - margin - 1, 1000, 200, 200 + whole, null],
    // at a margin: made anew around the picture
    [200 + margin - 1, 1000, 200, 200 + whole, [200 + margin - 1 - side, 200 + margin + side]],
    [200 + whole - margin, 1000, 200, 200 + whole, [200 + whole - margin - side, 200 + whole - margin + side + 1]],
    // a window at an end of the gallery is kept up to that end
    [1, 1000, 0, side + 2, null], [999, 1000, 1000 - whole, 1000, null]]) {
    const got = stripWindow(at, total, from, to);
    assert.deepEqual(got && [got.from, got.to], want, `${at} of ${total} in [${from}, ${to})`);
  }
});

test('thumbnail shapes', () => {
  for (const [w, h, ratio] of [[300, 200, 1.5], [1000, 100, 2], [100, 1000, 0.5], [0, 200, 1], [300, 0, 1]])
    assert.equal(thumbRatio({ w, h }), ratio, `${w}x${h}`);
});

test('room left around the picture', () => {
  const landscape = { width: 1200, height: 800 };
  for (const [x, around, withDetails, item, want] of [
    [1200, { strip: 100, caption: 0, details: 300 }, false, landscape, { top: 60, bottom: 112, left: 64, right: 64 }],
    [1200, { strip: 100, caption: 0, details: 300 }, true, landscape, { top: 60, bottom: 112, left: 64, right: 324 }],
    [500, { strip: 100, caption: 0, details: 300 }, true, landscape, { top: 48, bottom: 308, left: 0, right: 0 }],
    [500, { strip: 400, caption: 0, details: 300 }, true, landscape, { top: 48, bottom: 408, left: 0, right: 0 }],
    [500, { strip: 0, caption: 0, details: 0 }, true, landscape, { top: 48, bottom: 8, left: 0, right: 0 }],
    // the caption below a picture that spares the room, over one that does not
    [1280, { strip: 0, caption: 60, details: 0 }, false, { width: 2400, height: 900 }, { top: 60, bottom: 72, left: 64, right: 64 }],
    [1280, { strip: 0, caption: 60, details: 0 }, false, { width: 300, height: 200 }, { top: 60, bottom: 72, left: 64, right: 64 }],
    [1280, { strip: 0, caption: 60, details: 0 }, false, landscape, { top: 60, bottom: 12, left: 64, right: 64 }],
    [1280, { strip: 0, caption: 60, details: 300 }, true, landscape, { top: 60, bottom: 72, left: 64, right: 324 }],
    [1280, { strip: 0, caption: 60, details: 0 }, false, { width: 0, height: 0 }, { top: 60, bottom: 12, left: 64, right: 64 }],
    // 5 % of the picture's height for a caption, not more
    [1280, { strip: 0, caption: 36, details: 0 }, false, landscape, { top: 60, bottom: 48, left: 64, right: 64 }],
    [1280, { strip: 0, caption: 37, details: 0 }, false, landscape, { top: 60, bottom: 12, left: 64, right: 64 }],
    // on a phone the details stand in for the caption
    [390, { strip: 0, caption: 60, details: 300 }, false, landscape, { top: 48, bottom: 68, left: 0, right: 0 }],
    [390, { strip: 0, caption: 60, details: 300 }, true, landscape, { top: 48, bottom: 308, left: 0, right: 0 }]])
    assert.deepEqual(padding({ x, y: 800 }, around, withDetails, item), want,
                     `${x} ${JSON.stringify(around)} ${withDetails} ${JSON.stringify(item)}`);
});
