/*! Vignetor map: the pictures of the page that carry a position on a map
 * (Leaflet, leaflet.js, and Leaflet.markercluster, beside this script),
 * markers close together gathered into one that shows how many; a marker
 * opens the viewer at its picture. Loaded by vignetor-viewer.js when the
 * page's map button is first pressed; the tiles come from the address the
 * template names ([gallery] maptiles), and only then. */
(function () {
  'use strict';
  var libraryLoaded = null; // callbacks while Leaflet loads; true once there
  var panel = null, leafletMap = null, returnTo = null;

  function load(here, done) {
    if (libraryLoaded === true) return done();
    if (libraryLoaded) return void libraryLoaded.push(done);
    libraryLoaded = [done];
    ['leaflet.css', 'MarkerCluster.css', 'MarkerCluster.Default.css', 'vignetor-map.css'].forEach(
      function (name) {
        var link = document.createElement('link');
        link.rel = 'stylesheet';
        link.href = here + name;
        document.head.appendChild(link);
      });
    // The clusters need Leaflet first.
    var scripts = ['leaflet.js', 'leaflet.markercluster.js'];
    (function next() {
      if (!scripts.length) {
        var calls = libraryLoaded;
        libraryLoaded = true;
        return calls.forEach(function (f) { f(); });
      }
      var s = document.createElement('script');
      s.src = here + scripts.shift();
      s.onload = next;
      s.onerror = function () { libraryLoaded = null; };
      document.head.appendChild(s);
    })();
  }

  function text(t) {
    var div = document.createElement('div');
    div.textContent = t;
    return div.innerHTML;
  }

  // The page behind the map takes no focus and no clicks while it is open.
  function behind(on) {
    Array.prototype.forEach.call(document.body.children, function (el) {
      if (el !== panel) el.inert = on;
    });
  }

  function close() {
    if (!panel || panel.hidden) return;
    panel.hidden = true;
    behind(false);
    document.documentElement.classList.remove('vg-map-open');
    if (returnTo) returnTo.focus();
  }

  // The viewer opens at a picture as a click on its thumbnail opens it.
  function show(id) {
    close();
    var links = document.querySelectorAll('a[data-vg]');
    for (var i = 0; i < links.length; ++i) {
      if (links[i].getAttribute('data-vg') === id) return void links[i].click();
    }
    location.hash = encodeURIComponent(id);
  }

  function build(items, map) {
    panel = document.createElement('div');
    panel.className = 'vg-map';
    panel.setAttribute('role', 'dialog');
    panel.setAttribute('aria-modal', 'true');
    panel.setAttribute('aria-label', 'Map of where the pictures were taken');
    var shut = document.createElement('button');
    shut.type = 'button';
    shut.className = 'vg-map-close';
    shut.setAttribute('aria-label', 'Close the map');
    shut.textContent = '\u00d7';
    shut.addEventListener('click', close);
    var area = document.createElement('div');
    area.className = 'vg-map-area';
    panel.appendChild(area);
    panel.appendChild(shut);
    document.body.appendChild(panel);
    behind(true);
    panel.addEventListener('keydown', function (e) {
      if (e.key === 'Escape') {
        e.stopPropagation();
        close();
      }
    });
    leafletMap = L.map(area, { zoomControl: true });
    L.tileLayer(map.tiles, { maxZoom: 19, attribution: text(map.attribution || '') })
      .addTo(leafletMap);
    var cluster = L.markerClusterGroup({ showCoverageOnHover: false });
    var bounds = [];
    items.forEach(function (it) {
      var img = document.createElement('img');
      img.src = it.thumb;
      img.alt = '';
      var marker = L.marker([it.lat, it.lon], {
        title: it.alt || it.id,
        alt: it.alt || it.id,
        keyboard: true,
        icon: L.divIcon({ className: 'vg-map-pin', html: img, iconSize: [44, 44], iconAnchor: [22, 22] })
      });
      marker.on('click', function () { show(it.id); });
      marker.on('keypress', function (e) {
        if (e.originalEvent && e.originalEvent.key === 'Enter') show(it.id);
      });
      // Named for what it shows (and for the page tests).
      marker.on('add', function () {
        var el = marker.getElement();
        if (el) el.setAttribute('data-vg-pin', it.id);
      });
      cluster.addLayer(marker);
      bounds.push([it.lat, it.lon]);
    });
    leafletMap.addLayer(cluster);
    leafletMap.fitBounds(bounds, { padding: [40, 40], maxZoom: 15 });
    shut.focus();
  }

  window.vignetorMap = {
    open: function (items, map, here, button) {
      returnTo = button;
      load(here, function () {
        if (!panel) return build(items, map);
        panel.hidden = false;
        behind(true);
        document.documentElement.classList.add('vg-map-open');
        leafletMap.invalidateSize();
        panel.querySelector('.vg-map-close').focus();
      });
      document.documentElement.classList.add('vg-map-open');
    }
  };
})();
