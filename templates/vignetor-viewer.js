/* Vignetor picture viewer: a click (or Enter) on a thumbnail shows its
 * web-sized picture over the page, with previous/next, keys and swipe
 * (done by PhotoSwipe, photoswipe.umd.min.js), the caption and a link to
 * download the original. The address fragment names the picture shown, so
 * a link opens it directly and Back closes it.
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

  var downloadIcon =
    '<svg aria-hidden="true" class="pswp__icn" viewBox="0 0 32 32" width="32" height="32">' +
    '<path d="M16 6v13m-6-6 6 6 6-6M8 25h16" fill="none" stroke="#fff" ' +
    'stroke-width="2.4" stroke-linecap="round" stroke-linejoin="round"/></svg>';

  function open(index) {
    if (typeof PhotoSwipe !== 'function') return false;
    viewer = new PhotoSwipe({
      dataSource: items.map(function (it) {
        return {
          src: it.web,
          width: it.w,
          height: it.h,
          alt: it.alt,
          id: it.id,
          picture: it.picture,
          original: it.original !== false,
          caption: it.caption
        };
      }),
      index: index,
      preload: [1, 2],
      bgOpacity: 0.94,
      showHideAnimationType: 'fade',
      // room for the bar above and the caption below the picture
      paddingFn: function (viewport) {
        return viewport.x < 600 ? { top: 48, bottom: 56, left: 0, right: 0 }
                                : { top: 56, bottom: 64, left: 64, right: 64 };
      },
      returnFocus: false,
      mainClass: 'vg-viewer'
    });
    viewer.on('uiRegister', function () {
      viewer.ui.registerElement({
        name: 'download',
        title: 'Download the original',
        ariaLabel: 'Download the original',
        order: 8,
        isButton: true,
        tagName: 'a',
        html: downloadIcon,
        onInit: function (el, pswp) {
          el.setAttribute('download', '');
          el.classList.add('vg-download');
          pswp.on('change', function () {
            var d = pswp.currSlide.data;
            var what = d.original ? 'Download the original' : 'Download the picture (web size)';
            el.href = d.picture;
            el.title = what;
            el.setAttribute('aria-label', what);
          });
        }
      });
      viewer.ui.registerElement({
        name: 'caption',
        order: 9,
        isButton: false,
        appendTo: 'root',
        onInit: function (el, pswp) {
          el.classList.add('vg-caption');
          el.setAttribute('aria-live', 'polite');
          pswp.on('change', function () {
            var d = pswp.currSlide.data;
            el.textContent = d.caption || d.alt || '';
            el.hidden = !el.textContent;
          });
        }
      });
    });
    viewer.on('change', function () {
      var id = viewer.currSlide.data.id;
      if (fragmentId() !== id) location.replace('#' + encodeURIComponent(id));
    });
    viewer.on('close', function () {
      lastId = viewer.currSlide ? viewer.currSlide.data.id : null;
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
    viewer.init();
    // The dialog PhotoSwipe makes, named for screen readers.
    if (viewer.element) viewer.element.setAttribute('aria-label', 'Picture viewer');
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
