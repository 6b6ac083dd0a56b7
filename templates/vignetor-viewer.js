/* Vignetor picture viewer: a click (or Enter) on a thumbnail shows its
 * web-sized picture over the page, with previous/next, keys and swipe
 * (done by PhotoSwipe, photoswipe.umd.min.js), the caption block and a
 * link to download the original; besides, a slideshow (space, P), the
 * picture's details (I), a strip of thumbnails (T) and full screen (F).
 * The address fragment names the picture shown, so a link opens it
 * directly and Back closes it.
 *
 * The slideshow's settings are attributes of this script's element:
 *   <script src="vignetor-viewer.js" data-slideshow="5"
 *           data-slideshow-end="wrap" defer></script>
 * seconds per picture, and "wrap" or "stop" after the last picture.
 *
 * A page takes part with:
 *   <a href="{{web}}" data-vg="{{id}}" ...>  around each thumbnail
 *   <script src="{{galleryscript}}" defer></script>  before this script
 * The gallery's script, one file beside the pages that all of them load,
 * sets window.vignetorGallery: {pages: "all" or "one", pictures: [...]}, the
 * pictures the viewer steps through, those of every page (with "one" the
 * viewer keeps to those this page has a link for). A page may carry the list
 * itself instead, in <div id="vg-data" data-gallery="{{gallerydata}}" hidden>.
 * Without either the viewer steps through the thumbnails of this page, read
 * from their links:
 *   data-vg-size="{{webwidth}}x{{webheight}}" data-vg-picture="{{picture}}"
 *   data-vg-caption="{{caption}}" and the alt text of the image.
 * The viewer's library and styles (photoswipe.umd.min.js, photoswipe.css,
 * vignetor-viewer.css, beside this script) are loaded when a picture is
 * first opened, so that they cost the page nothing before; a page may also
 * load them itself.
 * Every file named lies in the page's own folder: nothing is fetched from
 * elsewhere, and the page works straight from disk. A picture whose data
 * says "original": false lies outside that folder; the download then offers
 * the largest picture the folder holds of it. */
(function () {
  'use strict';

  function readGallery() {
    var script = window.vignetorGallery;
    if (script && Array.isArray(script.pictures)) {
      if (script.pages !== 'one') return script.pictures;
      var here = {};
      var own = document.querySelectorAll('a[data-vg]');
      for (var k = 0; k < own.length; ++k) here['#' + own[k].getAttribute('data-vg')] = true;
      return script.pictures.filter(function (it) {
        return here['#' + it.id] === true;
      });
    }
    var holder = document.getElementById('vg-data');
    if (holder && holder.getAttribute('data-gallery')) {
      try {
        var list = JSON.parse(holder.getAttribute('data-gallery'));
        if (Array.isArray(list)) return list;
      } catch (e) {
        console.warn('vignetor-viewer: unreadable gallery data, using the thumbnails', e);
      }
    }
    var items = [];
    var links = document.querySelectorAll('a[data-vg]');
    for (var i = 0; i < links.length; ++i) {
      var a = links[i];
      var size = (a.getAttribute('data-vg-size') || '').split('x');
      var img = a.querySelector('img');
      items.push({
        id: a.getAttribute('data-vg'),
        web: a.getAttribute('href'),
        picture: a.getAttribute('data-vg-picture') || a.getAttribute('href'),
        caption: a.getAttribute('data-vg-caption') || '',
        alt: img ? img.alt : '',
        thumb: img ? img.getAttribute('src') || '' : '',
        w: parseInt(size[0], 10) || 0,
        h: parseInt(size[1], 10) || 0
      });
    }
    return items;
  }

  // The folder this script was loaded from: its library lies beside it.
  var here = (document.currentScript && document.currentScript.src) || '';
  here = here.slice(0, here.lastIndexOf('/') + 1);

  var waiting = null; // callbacks waiting for the library while it loads
  function withLibrary(done) {
    if (typeof PhotoSwipe === 'function') return done(true);
    if (waiting) return waiting.push(done);
    waiting = [done];
    var pending = 0;
    function settled() {
      if (--pending > 0) return;
      var calls = waiting;
      waiting = null;
      calls.forEach(function (f) {
        f(typeof PhotoSwipe === 'function');
      });
    }
    function add(tag, attrs) {
      ++pending;
      var el = document.createElement(tag);
      for (var k in attrs) el.setAttribute(k, attrs[k]);
      el.onload = el.onerror = settled;
      document.head.appendChild(el);
    }
    ['photoswipe.css', 'vignetor-viewer.css'].forEach(function (name) {
      if (!document.querySelector('link[href$="' + name + '"]'))
        add('link', { rel: 'stylesheet', href: here + name });
    });
    add('script', { src: here + 'photoswipe.umd.min.js' });
  }

  var items = readGallery();
  var byId = {};
  items.forEach(function (it, i) {
    byId[it.id] = i;
  });

  var viewer = null; // the open PhotoSwipe, if any
  var ownEntry = false; // the fragment's history entry was added by us: Back closes
  var closingFromAddress = false;
  var lastId = null; // the picture shown last, whose thumbnail gets the focus back
  var failedOnce = false; // the library could not be loaded: links behave as links

  function fragmentId() {
    var h = location.hash.slice(1);
    try {
      return decodeURIComponent(h);
    } catch (e) {
      return h;
    }
  }

  function thumbLink(id) {
    var links = document.querySelectorAll('a[data-vg]');
    for (var i = 0; i < links.length; ++i)
      if (links[i].getAttribute('data-vg') === id) return links[i];
    return null;
  }

  // The address without the fragment, kept in place (no new history entry).
  function dropFragment() {
    try {
      history.replaceState(history.state, '', location.href.split('#')[0]);
    } catch (e) {
      location.replace('#');
    }
  }

  // The viewer's own settings, from the attributes of its script element:
  //   data-slideshow="5"         seconds each picture stays in the slideshow
  //   data-slideshow-end="wrap"  after the last picture: "wrap" (start again
  //                              at the first) or "stop"
  var settings = (function () {
    var script = document.currentScript;
    var seconds = parseFloat((script && script.getAttribute('data-slideshow')) || '');
    var end = ((script && script.getAttribute('data-slideshow-end')) || '').trim().toLowerCase();
    return {
      interval: 1000 * (seconds > 0 ? Math.min(Math.max(seconds, 1), 3600) : 5),
      wrap: end !== 'stop'
    };
  })();

  // What the reader turned on or off, kept while the page is open.
  var shown = { strip: true, details: false };

  function reducedMotion() {
    return !!(window.matchMedia && window.matchMedia('(prefers-reduced-motion: reduce)').matches);
  }

  function element(tag, className, text) {
    var el = document.createElement(tag);
    if (className) el.className = className;
    if (text !== undefined) el.textContent = text;
    return el;
  }

  function fileSize(bytes) {
    if (bytes < 1024) return bytes + ' B';
    var units = ['KB', 'MB', 'GB', 'TB'];
    var v = bytes / 1024;
    var u = 0;
    while (v >= 1024 && u < units.length - 1) {
      v /= 1024;
      ++u;
    }
    return (v < 10 ? v.toFixed(1) : v.toFixed(0)) + ' ' + units[u];
  }

  // The lines of the details panel: only what the picture has.
  function details(it) {
    var rows = [];
    function add(label, value) {
      if (value !== undefined && value !== null && String(value) !== '') rows.push([label, String(value)]);
    }
    add('Title', it.title);
    add(it.title ? 'Description' : 'Caption', it.caption);
    add('Taken', it.date);
    add('Camera', it.camera);
    add('Lens', it.lens);
    add('Exposure', it.exposure);
    if (it.pw > 0 && it.ph > 0) add('Size', it.pw + ' \u00d7 ' + it.ph + ' pixels');
    if (it.bytes > 0) add('File size', fileSize(it.bytes));
    return rows;
  }

  function icon(paths) {
    return '<svg aria-hidden="true" class="pswp__icn" viewBox="0 0 32 32" width="32" height="32">' +
      '<path d="' + paths + '" fill="none" stroke="#fff" stroke-width="2.4" ' +
      'stroke-linecap="round" stroke-linejoin="round"/></svg>';
  }
  var icons = {
    download: icon('M16 6v13m-6-6 6 6 6-6M8 25h16'),
    play: icon('M11 8v16l13-8z'),
    pause: icon('M12 8v16m8-16v16'),
    details: icon('M16 15v8m0-13v.5M16 5a11 11 0 1 0 0 22 11 11 0 1 0 0-22z'),
    strip: icon('M5 10h22v12H5zM12 10v12m8-12v12'),
    fullscreen: icon('M6 12V6h6m8 0h6v6m0 8v6h-6m-8 0H6v-6'),
    leave: icon('M12 6v6H6m14-6v6h6m0 8h-6v6m-8 0v-6H6')
  };

  function open(index) {
    if (typeof PhotoSwipe !== 'function') return false;
    var layout = { below: 0, details: 0 }; // heights measured below the picture and of the panel
    var root, dock, captionBox, strip, panel, backdrop;
    var buttons = {};
    var playing = false, timer = null, fullscreenOurs = false;

    viewer = new PhotoSwipe({
      dataSource: items.map(function (it) {
        return { src: it.web, width: it.w, height: it.h, alt: it.alt, vg: it };
      }),
      index: index,
      preload: [1, 2],
      bgOpacity: 1,
      showHideAnimationType: 'fade',
      // Room for the bar above, the caption and the strip below and the
      // details beside (or, on a narrow screen, below) the picture.
      paddingFn: function (viewport) {
        var narrow = viewport.x < 700;
        var pad = narrow ? { top: 48, bottom: 8, left: 0, right: 0 }
                         : { top: 60, bottom: 12, left: 64, right: 64 };
        pad.bottom += layout.below;
        if (shown.details && layout.details) {
          if (narrow) pad.bottom = Math.max(pad.bottom, layout.details + 8);
          else pad.right = layout.details + 24;
        }
        return pad;
      },
      returnFocus: false,
      mainClass: 'vg-viewer'
    });
    var pswp = viewer;
    function current() {
      return pswp.currSlide ? pswp.currSlide.data.vg : items[pswp.currIndex];
    }

    // Measures what lies around the picture; a change makes room anew
    // (before the first layout, measuring is enough).
    var laidOut = false;
    function relayout() {
      if (!root || pswp.isDestroying) return;
      root.classList.toggle('vg-with-details', shown.details);
      root.classList.toggle('vg-with-strip', shown.strip);
      var below = dock ? Math.ceil(dock.getBoundingClientRect().height) : 0;
      var side = shown.details && panel ? Math.ceil(
        window.innerWidth < 700 ? panel.getBoundingClientRect().height : panel.getBoundingClientRect().width) : 0;
      if (below === layout.below && side === layout.details) return;
      layout.below = below;
      layout.details = side;
      if (laidOut) pswp.updateSize(true);
    }

    // --- Slideshow ---------------------------------------------------------
    function setPlaying(on) {
      playing = on;
      clearTimeout(timer);
      timer = null;
      var b = buttons.play;
      if (b) {
        var what = on ? 'Pause the slideshow' : 'Play the slideshow';
        b.setAttribute('aria-label', what);
        b.title = what + ' (space)';
        b.innerHTML = on ? icons.pause : icons.play;
      }
      if (on) schedule();
    }
    function schedule() {
      clearTimeout(timer);
      timer = setTimeout(advance, settings.interval);
    }
    function advance() {
      timer = null;
      if (!playing || pswp.isDestroying) return;
      var n = pswp.getNumItems();
      if (n < 2) return setPlaying(false);
      if (pswp.currIndex < n - 1) pswp.goTo(pswp.currIndex + 1);
      else if (settings.wrap) pswp.goTo(0);
      else setPlaying(false);
    }
    function togglePlaying() {
      if (playing) return setPlaying(false);
      // Played from the last picture, a slideshow that stops there starts over.
      if (!settings.wrap && pswp.currIndex === pswp.getNumItems() - 1) pswp.goTo(0);
      setPlaying(true);
    }
    function pause() {
      if (playing) setPlaying(false);
    }
    function whenHidden() {
      if (document.hidden) pause();
    }

    // --- Details panel -------------------------------------------------------
    function fillDetails() {
      if (!panel) return;
      var list = panel.querySelector('dl');
      list.textContent = '';
      details(current()).forEach(function (row) {
        list.appendChild(element('dt', '', row[0]));
        list.appendChild(element('dd', '', row[1]));
      });
    }
    function showDetails(on) {
      shown.details = on;
      if (panel) panel.hidden = !on;
      if (buttons.details) buttons.details.setAttribute('aria-expanded', on ? 'true' : 'false');
      if (on) fillDetails();
      relayout();
    }

    // --- Thumbnail strip -----------------------------------------------------
    // A gallery of thousands keeps to a window of buttons around the
    // picture shown, made anew when the picture nears its ends.
    var STRIP_SIDE = 100, STRIP_MARGIN = 25, stripFrom = 0;
    function stripButton(it, i) {
      var b = element('button', 'vg-thumb');
      b.type = 'button';
      b.setAttribute('aria-label', 'Picture ' + (i + 1) + ': ' + (it.alt || it.caption || ''));
      var ratio = it.w > 0 && it.h > 0 ? Math.min(Math.max(it.w / it.h, 0.5), 2) : 1;
      b.style.setProperty('--ratio', ratio.toFixed(3));
      if (it.thumb) {
        var img = element('img');
        img.alt = '';
        img.loading = 'lazy';
        img.decoding = 'async';
        img.src = it.thumb;
        b.appendChild(img);
      }
      b.addEventListener('click', function () {
        pause();
        pswp.goTo(i);
      });
      return b;
    }
    // Whether the buttons were made anew for the picture at `at`.
    function buildStrip(at) {
      var to = stripFrom + strip.children.length;
      if (strip.firstChild && (stripFrom === 0 || at - stripFrom >= STRIP_MARGIN) &&
          (to === items.length || to - at > STRIP_MARGIN))
        return false;
      var focused = strip.contains(document.activeElement);
      while (strip.firstChild) strip.removeChild(strip.firstChild);
      stripFrom = Math.max(0, at - STRIP_SIDE);
      var end = Math.min(items.length, at + STRIP_SIDE + 1);
      for (var i = stripFrom; i < end; ++i) strip.appendChild(stripButton(items[i], i));
      if (focused) strip.children[at - stripFrom].focus();
      return true;
    }
    function markStrip() {
      if (!strip || !shown.strip || !strip.firstChild) return;
      var rebuilt = buildStrip(pswp.currIndex);
      var old = strip.querySelector('[aria-current]');
      if (old) old.removeAttribute('aria-current');
      var now = strip.children[pswp.currIndex - stripFrom];
      if (!now) return;
      now.setAttribute('aria-current', 'true');
      var left = now.offsetLeft - (strip.clientWidth - now.offsetWidth) / 2;
      strip.scrollTo({ left: Math.max(0, left),
                       behavior: rebuilt || reducedMotion() ? 'auto' : 'smooth' });
    }
    function showStrip(on) {
      shown.strip = on;
      if (on) buildStrip(pswp.currIndex || 0);
      strip.hidden = !on;
      if (buttons.strip) buttons.strip.setAttribute('aria-pressed', on ? 'true' : 'false');
      markStrip();
      relayout();
    }

    // --- Full screen ---------------------------------------------------------
    var canFullscreen = document.fullscreenEnabled === true &&
      typeof document.documentElement.requestFullscreen === 'function';
    function markFullscreen() {
      var b = buttons.fullscreen;
      if (!b) return;
      var on = !!document.fullscreenElement;
      var what = on ? 'Leave full screen' : 'Full screen';
      b.setAttribute('aria-label', what);
      b.title = what + ' (f)';
      b.setAttribute('aria-pressed', on ? 'true' : 'false');
      b.innerHTML = on ? icons.leave : icons.fullscreen;
    }
    function toggleFullscreen() {
      if (!canFullscreen) return;
      var done = document.fullscreenElement ? document.exitFullscreen()
                                            : document.documentElement.requestFullscreen();
      if (!document.fullscreenElement) fullscreenOurs = true;
      if (done && done.catch) done.catch(function () {});
    }

    function button(name, label, order, html, onClick, init) {
      pswp.ui.registerElement({
        name: name,
        title: label,
        ariaLabel: label,
        order: order,
        isButton: true,
        html: html,
        onClick: onClick,
        onInit: function (el) {
          buttons[name] = el;
          if (init) init(el);
        }
      });
    }

    pswp.on('uiRegister', function () {
      button('play', 'Play the slideshow', 6, icons.play, togglePlaying, function (el) {
        el.classList.add('vg-play');
        el.hidden = items.length < 2;
      });
      button('details', 'Picture details', 11, icons.details, function () {
        showDetails(!shown.details);
      }, function (el) {
        el.title = 'Picture details (i)';
        el.setAttribute('aria-controls', 'vg-details');
        el.setAttribute('aria-expanded', 'false');
      });
      button('strip', 'Thumbnails', 12, icons.strip, function () {
        showStrip(!shown.strip);
      }, function (el) {
        el.classList.add('vg-strip-button');
        el.title = 'Thumbnails (t)';
        el.hidden = items.length < 2;
      });
      button('fullscreen', 'Full screen', 13, icons.fullscreen, toggleFullscreen, function (el) {
        el.hidden = !canFullscreen;
        markFullscreen();
      });
      pswp.ui.registerElement({
        name: 'download',
        title: 'Download the original',
        ariaLabel: 'Download the original',
        order: 14,
        isButton: true,
        tagName: 'a',
        html: icons.download,
        onInit: function (el) {
          el.setAttribute('download', '');
          el.classList.add('vg-download');
          pswp.on('change', function () {
            var d = current();
            var what = d.original !== false ? 'Download the original' : 'Download the picture (web size)';
            el.href = d.picture;
            el.title = what;
            el.setAttribute('aria-label', what);
          });
        }
      });
      // Below the picture: its caption, then the strip of thumbnails.
      pswp.ui.registerElement({
        name: 'dock',
        order: 15,
        isButton: false,
        appendTo: 'root',
        onInit: function (el) {
          dock = el;
          el.classList.add('vg-dock');
          captionBox = element('div', 'vg-caption');
          captionBox.setAttribute('aria-live', 'polite');
          el.appendChild(captionBox);
          strip = element('div', 'vg-strip');
          strip.setAttribute('role', 'group');
          strip.setAttribute('aria-label', 'Thumbnails');
          el.appendChild(strip);
        }
      });
      pswp.ui.registerElement({
        name: 'details-panel',
        order: 16,
        isButton: false,
        appendTo: 'root',
        tagName: 'section',
        onInit: function (el) {
          panel = el;
          el.id = 'vg-details';
          el.className += ' vg-details';
          el.setAttribute('aria-label', 'Picture details');
          el.tabIndex = 0; // it may scroll: reachable by keyboard
          el.hidden = true;
          el.appendChild(element('h2', '', 'Details'));
          el.appendChild(element('dl'));
        }
      });
    });

    function showCurrent() {
      var it = current();
      var id = it.id;
      if (fragmentId() !== id) location.replace('#' + encodeURIComponent(id));
      if (captionBox) {
        // The title (else the caption) as the heading of the block, the
        // description under it.
        captionBox.textContent = '';
        var head = it.title || it.caption || it.alt || '';
        if (head) captionBox.appendChild(element('p', 'vg-caption-head', head));
        if (it.title && it.caption) captionBox.appendChild(element('p', 'vg-caption-text', it.caption));
        captionBox.hidden = !head;
      }
      if (backdrop) {
        if (it.thumb) {
          if (backdrop.getAttribute('src') !== it.thumb) backdrop.src = it.thumb;
        } else {
          backdrop.hidden = true;
          backdrop.removeAttribute('src');
        }
      }
      if (shown.details) fillDetails();
      markStrip();
      relayout();
      if (playing) schedule();
    }
    pswp.on('change', showCurrent);
    pswp.on('resize', function () {
      requestAnimationFrame(relayout);
    });

    // Keys of the viewer's own; any other key, a click or a swipe pauses
    // the slideshow.
    pswp.on('keydown', function (e) {
      var ev = e.originalEvent;
      if (ev.ctrlKey || ev.metaKey || ev.altKey) return;
      var key = ev.key;
      var onControl = ev.target && ev.target.closest && ev.target.closest('button, a[href]');
      if (onControl && (key === ' ' || key === 'Enter')) {
        if (onControl !== buttons.play) pause();
        return;
      }
      var handled = true;
      if (key === ' ' || key === 'p' || key === 'P') togglePlaying();
      else {
        pause();
        if (key === 'i' || key === 'I') showDetails(!shown.details);
        else if ((key === 'f' || key === 'F') && canFullscreen) toggleFullscreen();
        else if ((key === 't' || key === 'T') && items.length > 1) showStrip(!shown.strip);
        else if (key === 'Escape' && shown.details) showDetails(false);
        else handled = false;
      }
      if (handled) {
        e.preventDefault();
        ev.preventDefault();
      }
    });

    viewer.on('close', function () {
      setPlaying(false);
      document.removeEventListener('visibilitychange', whenHidden);
      document.removeEventListener('fullscreenchange', markFullscreen);
      if (fullscreenOurs && document.fullscreenElement) document.exitFullscreen().catch(function () {});
      lastId = current() ? current().id : null;
      if (!closingFromAddress) {
        if (ownEntry) history.back();
        else dropFragment();
      }
      ownEntry = false;
      closingFromAddress = false;
      viewer = null;
    });
    // Back on the page where the viewer left: at the last picture shown.
    viewer.on('destroy', function () {
      var link = lastId && thumbLink(lastId);
      if (link) {
        link.scrollIntoView({ block: 'nearest' });
        link.focus({ preventScroll: true });
      }
    });
    document.addEventListener('visibilitychange', whenHidden);
    document.addEventListener('fullscreenchange', markFullscreen);
    // Everything around the picture is in place, and measured, before the
    // viewer first lays out its slides.
    pswp.on('firstUpdate', function () {
      root = pswp.element;
      // The dialog PhotoSwipe makes, named for screen readers.
      root.setAttribute('aria-label', 'Picture viewer');
      // A click, a tap or a swipe anywhere but on the slideshow's own button
      // pauses it; so does the wheel.
      root.addEventListener('pointerdown', function (ev) {
        if (!(ev.target.closest && ev.target.closest('.vg-play'))) pause();
      }, true);
      root.addEventListener('wheel', pause, { passive: true, capture: true });
      // The picture stands on a blurred copy of its own thumbnail.
      backdrop = element('img', 'vg-backdrop');
      backdrop.alt = '';
      backdrop.setAttribute('aria-hidden', 'true');
      backdrop.hidden = true;
      backdrop.onload = function () { backdrop.hidden = false; };
      backdrop.onerror = function () { backdrop.hidden = true; };
      root.insertBefore(backdrop, pswp.scrollWrap);
      if (items.length > 1) showStrip(shown.strip);
      else strip.hidden = true;
      showDetails(shown.details);
      showCurrent();
    });
    pswp.on('initialLayout', function () {
      laidOut = true;
    });
    viewer.init();
    return true;
  }

  // Shows what the address names: the picture of its fragment, or nothing.
  function followAddress() {
    var index = byId[fragmentId()];
    if (index === undefined) {
      if (viewer) {
        closingFromAddress = true;
        viewer.close();
      }
      return;
    }
    if (viewer) {
      if (viewer.currIndex !== index) viewer.goTo(index);
      return;
    }
    withLibrary(function (ok) {
      // Still asked for once the library is there?
      if (ok && !viewer && byId[fragmentId()] === index) open(index);
    });
  }

  document.addEventListener('click', function (e) {
    if (e.defaultPrevented || e.button !== 0 || e.metaKey || e.ctrlKey || e.shiftKey || e.altKey)
      return;
    var a = e.target.closest ? e.target.closest('a[data-vg]') : null;
    if (!a || byId[a.getAttribute('data-vg')] === undefined || failedOnce)
      return;
    e.preventDefault();
    withLibrary(function (ok) {
      if (!ok) {
        // Without the viewer the link shows the picture itself.
        failedOnce = true;
        location.href = a.href;
        return;
      }
      ownEntry = true;
      location.hash = encodeURIComponent(a.getAttribute('data-vg'));
    });
  });

  window.addEventListener('hashchange', followAddress);

  // Opened through a link naming a picture: show it. Closing it then keeps
  // the page in its history entry, and Back leaves as it came (browsers skip
  // entries a page adds by itself while loading).
  followAddress();
})();
