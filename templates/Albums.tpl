; Albums: an album per folder. With subfolders (/s), index.html lists the
; top-level folders as cards (cover, count of pictures, first and last day),
; and each folder has a page of its own: the cards of the folders inside it,
; then its pictures, with the way back to the index through the folders
; above it. The viewer keeps to the album's pictures. Without subfolders it
; is one page of cards, as Grid.
; Sections: desc, askvalues (the form asks for these), gallery (what the
; generator makes and copies), head, album (a card on the index and on its
; parent's page), crumb (a step of the way back, put into the section),
; section (the top of an album's page, with the albums inside it), picture,
; empty, foot.
; Placeholders are written {{name}}.

[desc]
An album per folder: an index of large
covers with counts and dates, each on a
page of its own with the way back. Asks
for a title, order, cover and more.

[askvalues]
title;T;Page title;My albums
order;T;Order: name or date (taken);name
videos;T;Videos (MP4, MOV, WebM, M4V) as gallery items: yes or no;no
cover;T;Cover picture's name (else the first);
slideshow;N;Slideshow: seconds per picture;5
slideshowend;T;Slideshow after the last picture: wrap or stop;wrap
zip;T;A ZIP of each album to download: yes or no;no
siteurl;T;Address it is published at, for link previews (else empty);
map;T;Map of where the pictures were taken: yes or no;no
maptiles;T;Map tiles' address ({z}/{x}/{y});https://tile.openstreetmap.org/{z}/{x}/{y}.png
mapattribution;T;Map tiles' attribution;© OpenStreetMap contributors
download;T;Download: stripped (no location) or original;stripped

[gallery]
websize=1600
cellsize=320
thumb2x=yes
thumb3x=yes
perpage=0
albums=yes
viewerpages=one
order={{order}}
video={{videos}}
cover={{cover}}
zip={{zip}}
siteurl={{siteurl}}
map={{map}}
maptiles={{maptiles}}
mapattribution={{mapattribution}}
download={{download}}
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
  :root { color-scheme: light dark; --bg: #f4f5f7; --card: #fff; --text: #1b2130; --muted: #667085;
          --line: rgb(16 24 40 / .08); --ring: #2f6fed; --well: #e9ecf1;
          --shadow: 0 1px 2px rgb(16 24 40 / .05), 0 8px 24px rgb(16 24 40 / .06);
          --gap: clamp(.75rem, 1.5vw, 1.5rem); --side: clamp(1rem, 3vw, 3rem); }
  @media (prefers-color-scheme: dark) {
    :root { --bg: #0f1115; --card: #191c23; --text: #e8eaf0; --muted: #9aa3b5;
            --line: rgb(255 255 255 / .07); --ring: #82acff; --well: #12151b; --shadow: none; }
  }
  * { box-sizing: border-box; }
  body { margin: 0; background: var(--bg); color: var(--text);
         font: 15px/1.45 system-ui, -apple-system, "Segoe UI", Roboto, sans-serif; }
  header, main, footer { padding-inline: var(--side); }
  header { padding-block: clamp(1.5rem, 4vw, 3rem) 1.25rem; }
  h1 { margin: 0; font-size: clamp(1.6rem, 1.1rem + 1.8vw, 2.6rem); font-weight: 700;
       letter-spacing: -.015em; overflow-wrap: anywhere; }
  header p { margin: .35rem 0 0; color: var(--muted); }
  .mapbutton { margin-top: .75rem; min-height: 2.75rem; padding: .5rem 1.1rem; border: 1px solid var(--line);
               border-radius: 999px; background: var(--card); color: var(--text); font: inherit; font-weight: 600;
               cursor: pointer; box-shadow: var(--shadow); }
  .mapbutton[hidden] { display: none; }
  .mapbutton:focus-visible { outline: 3px solid var(--ring); outline-offset: 3px; }
  /* Columns of 15rem or more over the whole width: the pictures are drawn
     about as large as the display files the generator makes for them
     (cellsize, 320 px on the long edge), whatever the thumbnails' size.
     Two columns on a phone. */
  .grid { display: grid; gap: var(--gap); grid-template-columns: repeat(auto-fill, minmax(min(100%, 15rem), 1fr)); }
  @media (max-width: 480px) { .grid { --gap: .6rem; grid-template-columns: repeat(2, minmax(0, 1fr)); } }
  /* The screen's pixel density, rounded up: a picture is drawn at most as
     large as its largest file at that density (--max / --dpr). */
  :root { --dpr: 1; }
  @media (min-resolution: 1.01dppx) { :root { --dpr: 1.5; } }
  @media (min-resolution: 1.51dppx) { :root { --dpr: 2; } }
  @media (min-resolution: 2.01dppx) { :root { --dpr: 2.5; } }
  @media (min-resolution: 2.51dppx) { :root { --dpr: 3; } }
  @media (min-resolution: 3.01dppx) { :root { --dpr: 4; } }
  .card { margin: 0; display: flex; flex-direction: column; min-width: 0; background: var(--card);
          border: 1px solid var(--line); border-radius: 14px; box-shadow: var(--shadow); overflow: hidden; }
  .card:has(a:focus-visible) { outline: 3px solid var(--ring); outline-offset: 3px; }
  /* The picture first: a 3:2 frame over the card's width, the picture in it
     whole and as large as it fits (--w x --h its shape). */
  .shot { display: flex; align-items: center; justify-content: center; aspect-ratio: 3 / 2;
          background: var(--well); outline: none; overflow: hidden; }
  .shot img { display: block; width: calc(100% * min(1, var(--w) / var(--h) * 2 / 3)); height: auto;
              aspect-ratio: var(--w) / var(--h); max-width: calc(var(--max) * 1px / var(--dpr));
              transition: transform .25s ease; }
  .shot:hover img, .shot:focus-visible img { transform: scale(1.03); }
  figcaption { display: flex; flex-direction: column; gap: .1rem; padding: .6rem .85rem .75rem; min-width: 0; }
  /* The caption first where the picture has one, its file name under it;
     a caption wraps between words (hyphenated in the page's language), at
     most three lines, two on a phone. */
  .text { font-weight: 600; overflow-wrap: break-word; hyphens: auto; display: -webkit-box;
          -webkit-box-orient: vertical; -webkit-line-clamp: 3; line-clamp: 3; overflow: hidden; }
  @media (max-width: 480px) {
    figcaption { padding: .45rem .6rem .55rem; font-size: .9rem; }
    .text { -webkit-line-clamp: 2; line-clamp: 2; }
  }
  .name { font-weight: 600; white-space: nowrap; overflow: hidden; text-overflow: ellipsis; }
  .text:not(:empty) + .name { font-weight: 400; font-size: .82rem; color: var(--muted); }
  .meta { display: flex; flex-wrap: wrap; column-gap: .75em; color: var(--muted); font-size: .82rem; }
  .text:empty, .meta > span:empty { display: none; }
  @media (max-width: 480px) { .meta .size { display: none; } }
  .nothing { color: var(--muted); }
  footer { padding-block: 2rem 2.5rem; color: var(--muted); font-size: .8rem; }
  /* The album index: a card per album, its cover over the card's whole
     width in a 3:2 frame (cut to the frame, centred, never drawn beyond its
     largest file), the album's name, count and days under it. */
  .album { color: inherit; text-decoration: none; outline: none; }
  .album:focus-visible { outline: 3px solid var(--ring); outline-offset: 3px; }
  .cover { position: relative; display: block; aspect-ratio: 3 / 2; background: var(--well); overflow: hidden; }
  .cover img { position: absolute; top: 50%; left: 50%; translate: -50% -50%; display: block; height: auto;
               width: calc(100% * max(1, var(--w) / var(--h) * 2 / 3)); aspect-ratio: var(--w) / var(--h);
               max-width: calc(var(--max) * 1px / var(--dpr)); transition: scale .25s ease; }
  .album:hover .cover img, .album:focus-visible .cover img { scale: 1.03; }
  .album .label { display: flex; flex-direction: column; gap: .1rem; padding: .7rem .95rem .85rem; min-width: 0; }
  .days { white-space: nowrap; }
  /* Index cards of 17rem or more; one a row on a phone. */
  @media (min-width: 481px) {
    .grid:has(> .album) { grid-template-columns: repeat(auto-fill, minmax(min(100%, 17rem), 1fr)); }
  }
  @media (max-width: 480px) { .album { grid-column: 1 / -1; } }
  .album .parent { color: var(--muted); font-size: .78rem; overflow-wrap: anywhere; }
  .album .title { font-weight: 650; font-size: 1.1rem; overflow-wrap: break-word; hyphens: auto; }
  /* Inside its parent's page an album needs no path above it. */
  .parent:empty, .album-head ~ .album .parent { display: none; }
  .count[data-n="1"] .plural { display: none; }
  /* The way back: the index, then each folder above the album. */
  .crumbs { grid-column: 1 / -1; margin: 0; font-size: .9rem; color: var(--muted); }
  .crumbs ol { display: flex; flex-wrap: wrap; align-items: baseline; gap: .25rem .5rem; margin: 0; padding: 0; list-style: none; }
  .crumbs li { overflow-wrap: anywhere; }
  .crumbs li + li::before { content: "\203a"; margin-inline-end: .5rem; color: var(--muted); }
  .crumbs a { color: var(--text); text-decoration: underline; text-decoration-color: var(--line);
              text-underline-offset: .2em; padding-block: .35rem; display: inline-block; }
  .crumbs a:hover { text-decoration-color: currentColor; }
  .crumbs a:focus-visible { outline: 3px solid var(--ring); outline-offset: 2px; border-radius: 4px; }
  .crumbs [aria-current] { color: var(--text); font-weight: 600; }
  .album-head { grid-column: 1 / -1; display: flex; flex-wrap: wrap; align-items: baseline; gap: .25rem .75rem;
                margin: -.5rem 0 .25rem; }
  .album-head h2 { margin: 0; font-size: clamp(1.25rem, 1rem + 1vw, 1.7rem); font-weight: 650; overflow-wrap: anywhere; }
  .album-head p { display: flex; flex-wrap: wrap; column-gap: .75em; margin: 0; color: var(--muted); }
  .album-head p span:empty { display: none; }
  /* The ZIP's link, where the gallery has one. */
  a.zip { color: inherit; white-space: nowrap; }
  a.zip[href=""] { display: none; }
</style>
</head>
<body>
<header>
  <h1>{{title}}</h1>
  <p>{{count}} pictures</p>
  <button type="button" class="mapbutton" data-vg-map="{{map}}" hidden>Map</button>
</header>
<main class="grid">

[album]
  <a class="card album" href="{{albumlink}}" id="{{sectionid}}">
    <span class="cover"><img style="--w: {{displaywidth}}; --h: {{displayheight}}; --max: {{displaymaxwidth}}" src="{{displaysrc}}" srcset="{{displaysrcset}}" sizes="auto, {{displaywidth}}px" width="{{displaywidth}}" height="{{displayheight}}" alt="" loading="lazy" decoding="async"></span>
    <span class="label"><span class="title">{{albumname}}</span><span class="parent">{{albumparent}}</span><span class="meta"><span class="count" data-n="{{albumcount}}">{{albumcount}} picture<span class="plural">s</span></span><span class="days">{{albumdates}}</span></span></span>
  </a>

[crumb]
    <li><a href="{{crumblink}}">{{crumbname}}</a></li>

[section]
  <nav class="crumbs" aria-label="Breadcrumb"><ol>
{{crumbs}}    <li aria-current="page">{{albumname}}</li>
  </ol></nav>
  <div class="album-head" id="{{sectionid}}"><h2>{{albumname}}</h2><p><span class="count" data-n="{{albumcount}}">{{albumcount}} picture<span class="plural">s</span></span><span class="days">{{albumdates}}</span><a class="zip" href="{{albumzip}}" download>Download all (ZIP, {{albumzipsize}})</a></p></div>
{{subalbums}}

[picture]
  <figure class="card">
    <a class="shot" href="{{web}}" data-vg="{{id}}"><img style="--w: {{displaywidth}}; --h: {{displayheight}}; --max: {{displaymaxwidth}}" src="{{displaysrc}}" srcset="{{displaysrcset}}" sizes="auto, {{displaywidth}}px" width="{{displaywidth}}" height="{{displayheight}}" alt="{{alt}}" loading="lazy" decoding="async"></a>
    <figcaption><span class="text">{{caption}}</span><span class="name">{{name}}</span><span class="meta"><span>{{datetaken}}</span><span class="size">{{width}} &times; {{height}}</span></span></figcaption>
  </figure>

[empty]
  <p class="nothing">There are no pictures here yet.</p>

[foot]
</main>
<footer>Made {{date}} with Vignetor</footer>
</body>
</html>
