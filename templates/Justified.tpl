; Justified: rows of equal height that fill the width, each picture in its
; own shape and never cropped. A picture's share of its row grows with its
; aspect ratio (flex-grow), so every row comes out the same height without
; any script, and reflows as the window changes. The generator makes the
; display files for rows about 240 px high (rowheight), whatever the
; thumbnails' size.
; Sections: desc, askvalues (the form asks for these), gallery (what the
; generator makes and copies), head, section (before a folder's pictures),
; picture, empty, pagenav (links between pages), foot.
; Placeholders are written {{name}}.

[desc]
Rows of pictures about 240 px high that
fill the width, each whole in its shape,
two a row on a phone. Asks for a title,
pictures per page, order and more.

[askvalues]
title;T;Page title;My pictures
perpage;N;Pictures per page (0: all);100
order;T;Order: name or date (taken);name
videos;T;Videos (MP4, MOV, WebM, M4V) as gallery items: yes or no;no
slideshow;N;Slideshow: seconds per picture;5
slideshowend;T;Slideshow after the last picture: wrap or stop;wrap
zip;T;A ZIP of all pictures to download: yes or no;no
siteurl;T;Address it is published at, for link previews (else empty);
map;T;Map of where the pictures were taken: yes or no;no
maptiles;T;Map tiles' address ({z}/{x}/{y});https://tile.openstreetmap.org/{z}/{x}/{y}.png
mapattribution;T;Map tiles' attribution;© OpenStreetMap contributors

[gallery]
websize=1600
rowheight=240
thumb2x=yes
thumb3x=yes
perpage={{perpage}}
order={{order}}
zip={{zip}}
siteurl={{siteurl}}
video={{videos}}
map={{map}}
maptiles={{maptiles}}
mapattribution={{mapattribution}}
assets=photoswipe.umd.min.js photoswipe.css photoswipe-LICENSE.txt vignetor-viewer.js vignetor-viewer.css

[head]
<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<meta name="color-scheme" content="light dark">
<meta name="generator" content="Vignetor">
<title>{{title}}</title>
<meta name="description" content="{{title}}: {{count}} pictures">
{{previewtags}}<link rel="icon" href="data:image/svg+xml,%3Csvg xmlns='http://www.w3.org/2000/svg' viewBox='0 0 32 32'%3E%3Crect width='32' height='32' rx='7' fill='%232f6fed'/%3E%3Cpath d='M6 24l7-9 5 6 3-4 5 7z' fill='%23fff'/%3E%3Ccircle cx='22' cy='10' r='3' fill='%23fff'/%3E%3C/svg%3E">
<script src="{{galleryscript}}" defer></script>
<script src="vignetor-viewer.js" data-slideshow="{{slideshow}}" data-slideshow-end="{{slideshowend}}" defer></script>
<style>
  :root { color-scheme: light dark; --bg: #fafafa; --text: #16181d; --muted: #6b7280; --ring: #2563eb;
          --tile: #e7e8eb; --gap: 6px; --side: clamp(.5rem, 2vw, 2rem); }
  @media (prefers-color-scheme: dark) {
    :root { --bg: #0b0c0e; --text: #eceef2; --muted: #9098a6; --ring: #8fb3ff; --tile: #1a1c20; }
  }
  * { box-sizing: border-box; }
  body { margin: 0; background: var(--bg); color: var(--text);
         font: 15px/1.45 system-ui, -apple-system, "Segoe UI", Roboto, sans-serif; }
  header, footer { padding-inline: calc(var(--side) + .25rem); }
  header { display: flex; flex-wrap: wrap; align-items: baseline; gap: .25rem 1rem;
           padding-block: clamp(1.25rem, 3.5vw, 2.5rem) 1rem; }
  h1 { margin: 0; font-size: clamp(1.5rem, 1.1rem + 1.6vw, 2.4rem); font-weight: 700;
       letter-spacing: -.02em; overflow-wrap: anywhere; }
  header p { margin: 0; color: var(--muted); }
  .mapbutton { align-self: center; min-height: 2.75rem; padding: .4rem 1rem; border: 1px solid var(--muted);
               border-radius: 999px; background: transparent; color: var(--text); font: inherit; font-weight: 600;
               cursor: pointer; }
  .mapbutton[hidden] { display: none; }
  .mapbutton:focus-visible { outline: 3px solid var(--ring); outline-offset: 2px; }
  /* A row starts at its pictures' widths at 0.85 of the row height the
     display files are made for (--target, rowheight) and grows to fill the
     width: rows come out 205 to about 280 px high on a desktop, the last
     row at 205. On a phone about two pictures a row. */
  .rows { --target: 240px; --row: calc(var(--target) * .85); display: flex; flex-wrap: wrap; gap: var(--gap);
          padding-inline: var(--side); }
  @media (max-width: 640px) { .rows { --row: calc((100vw - 2 * var(--side)) / 3.4); } }
  /* Each picture grows by its aspect ratio from a width of (row height x
     aspect ratio): all pictures of a row end up the same height. It grows
     to twice the row height at most (a row that only one or two pictures
     fit, say a tall one before a panorama), and never wider than the
     largest file it has at the screen's pixel density (--max / --dpr): a
     row where one stops is filled by the others. */
  :root { --dpr: 1; }
  @media (min-resolution: 1.01dppx) { :root { --dpr: 1.5; } }
  @media (min-resolution: 1.51dppx) { :root { --dpr: 2; } }
  @media (min-resolution: 2.01dppx) { :root { --dpr: 2.5; } }
  @media (min-resolution: 2.51dppx) { :root { --dpr: 3; } }
  @media (min-resolution: 3.01dppx) { :root { --dpr: 4; } }
  .tile { --ratio: calc(var(--w) / var(--h)); position: relative; margin: 0; min-width: 0;
          flex: calc(var(--ratio) * 1000) 1 calc(var(--ratio) * var(--row));
          max-width: min(calc(var(--ratio) * var(--row) * 2), calc(var(--max) * 1px / var(--dpr))); }
  .tile a { display: block; border-radius: 4px; outline: none; }
  .tile img { display: block; width: 100%; height: auto; aspect-ratio: var(--w) / var(--h);
              background: var(--tile); border-radius: 4px; }
  .tile a:focus-visible { box-shadow: 0 0 0 3px var(--bg), 0 0 0 6px var(--ring); }
  .tile figcaption { position: absolute; inset: auto 0 0 0; padding: 1.6rem .6rem .45rem; border-radius: 0 0 4px 4px;
                     background: linear-gradient(transparent, rgb(0 0 0 / .6)); color: #fff; font-size: .8rem;
                     white-space: nowrap; overflow: hidden; text-overflow: ellipsis;
                     opacity: 0; transition: opacity .2s ease; pointer-events: none; }
  .tile:hover figcaption, .tile:focus-within figcaption { opacity: 1; }
  /* The caption first where the picture has one, its file name under it. */
  .tile figcaption span { display: block; overflow: hidden; text-overflow: ellipsis; }
  .tile .text:empty { display: none; }
  .tile .text:not(:empty) + .name { font-size: .7rem; opacity: .85; }
  /* Takes the room left at the end of a folder's last row (and of the
     page's), so that row keeps the height of the others. */
  .rows::after, .fill { content: ""; flex: 1e6 1 0; height: 0; }
  .section { flex: 1 1 100%; display: flex; align-items: baseline; gap: .6rem; margin: 1.25rem 0 .25rem;
             font-size: 1.2rem; font-weight: 650; overflow-wrap: anywhere; }
  .section small { color: var(--muted); font-size: .85rem; font-weight: 500; }
  .section:has(> span:empty), .fill:has(+ .section > span:empty) { display: none; }
  .pages { flex: 1 1 100%; display: flex; flex-wrap: wrap; justify-content: center; align-items: center;
           gap: .5rem 1rem; margin-top: 1.5rem; color: var(--muted); }
  .pages a { padding: .45rem .9rem; border-radius: 999px; color: var(--text); text-decoration: none;
             border: 1px solid color-mix(in srgb, var(--text) 18%, transparent); }
  .pages a:hover { border-color: var(--ring); }
  .pages a:focus-visible { outline: 3px solid var(--ring); outline-offset: 2px; }
  .pages a[href=""] { visibility: hidden; }
  .nothing { color: var(--muted); }
  footer { padding-block: 2rem 2.5rem; color: var(--muted); font-size: .8rem; }
  /* The ZIP's link, where the gallery has one. */
  a.zip { color: inherit; white-space: nowrap; }
  a.zip[href=""] { display: none; }
</style>
</head>
<body>
<header>
  <h1>{{title}}</h1>
  <p>{{count}} pictures <a class="zip" href="{{albumzip}}" download>&middot; Download all (ZIP, {{albumzipsize}})</a></p>
  <button type="button" class="mapbutton" data-vg-map="{{map}}" hidden>Map</button>
</header>
<main class="rows">

[section]
  <i class="fill"></i>
  <h2 class="section" id="{{sectionid}}"><span>{{section}}</span><small>{{sectioncount}}</small></h2>

[picture]
  <figure class="tile" style="--w: {{displaywidth}}; --h: {{displayheight}}; --max: {{displaymaxwidth}}">
    <a href="{{web}}" data-vg="{{id}}"><img src="{{displaysrc}}" srcset="{{displaysrcset}}" sizes="auto, {{displaywidth}}px" width="{{displaywidth}}" height="{{displayheight}}" alt="{{alt}}" loading="lazy" decoding="async"></a>
    <figcaption><span class="text">{{caption}}</span><span class="name">{{name}}</span></figcaption>
  </figure>

[empty]
  <p class="nothing">There are no pictures here yet.</p>

[pagenav]
  <i class="fill"></i>
  <nav class="pages" aria-label="Pages">
    <a href="{{firstpage}}">First</a>
    <a href="{{prevpage}}" rel="prev">&larr; Previous</a>
    <span>Page {{page}} of {{pages}}</span>
    <a href="{{nextpage}}" rel="next">Next &rarr;</a>
    <a href="{{lastpage}}">Last</a>
  </nav>

[foot]
</main>
<footer>Made {{date}} with Vignetor</footer>
</body>
</html>
