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
An album per folder: an index of covers
with counts and dates, each folder on a
page of its own with the way back. Asks
for a title, order, cover and slideshow.

[askvalues]
title;T;Page title;My albums
order;T;Order: name or date (taken);name
cover;T;Cover picture's name (else the first);
slideshow;N;Slideshow: seconds per picture;5
slideshowend;T;Slideshow after the last picture: wrap or stop;wrap

[gallery]
websize=1600
thumb2x=yes
thumb3x=yes
perpage=0
albums=yes
viewerpages=one
order={{order}}
cover={{cover}}
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
<link rel="icon" href="data:image/svg+xml,%3Csvg xmlns='http://www.w3.org/2000/svg' viewBox='0 0 32 32'%3E%3Crect width='32' height='32' rx='7' fill='%232f6fed'/%3E%3Cpath d='M6 24l7-9 5 6 3-4 5 7z' fill='%23fff'/%3E%3Ccircle cx='22' cy='10' r='3' fill='%23fff'/%3E%3C/svg%3E">
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
  /* Cells as high as the highest thumbnail and at most 4:3 wide (a panorama
     is shown smaller rather than widen every cell). */
  main { --cw: min(var(--mw), var(--ch) * 4 / 3); }
  body { margin: 0; background: var(--bg); color: var(--text);
         font: 15px/1.45 system-ui, -apple-system, "Segoe UI", Roboto, sans-serif; }
  header, main, footer { padding-inline: var(--side); }
  header { padding-block: clamp(1.5rem, 4vw, 3rem) 1.25rem; }
  h1 { margin: 0; font-size: clamp(1.6rem, 1.1rem + 1.8vw, 2.6rem); font-weight: 700;
       letter-spacing: -.015em; overflow-wrap: anywhere; }
  header p { margin: .35rem 0 0; color: var(--muted); }
  /* Columns as wide as the widest thumbnail, as many as fit: a picture is
     never shown larger than its thumbnail was made (--cw x --ch, the
     largest thumbnail's box). */
  .grid { display: grid; gap: var(--gap); justify-content: start;
          grid-template-columns: repeat(auto-fill, min(100%, calc(var(--cw) * 1px))); }
  /* Two columns on a phone. */
  @media (max-width: 480px) { .grid { grid-template-columns: repeat(2, minmax(0, 1fr)); } }
  .card { margin: 0; display: flex; flex-direction: column; min-width: 0; background: var(--card);
          border: 1px solid var(--line); border-radius: 14px; box-shadow: var(--shadow); overflow: hidden; }
  .card:has(a:focus-visible) { outline: 3px solid var(--ring); outline-offset: 3px; }
  .shot { position: relative; display: block; aspect-ratio: var(--cw) / var(--ch); background: var(--well); outline: none; }
  /* Each picture at most as large as its own thumbnail (--tw x --th), centred. */
  .shot img { position: absolute; inset: 0; margin: auto; width: 100%; height: 100%; object-fit: contain;
              max-width: calc(var(--tw) * 1px); max-height: calc(var(--th) * 1px);
              transition: transform .25s ease; }
  .shot:hover img, .shot:focus-visible img { transform: scale(1.03); }
  figcaption { display: flex; flex-direction: column; gap: .1rem; padding: .65rem .85rem .8rem; min-width: 0; }
  /* The caption first where the picture has one, its file name under it. */
  .text { font-weight: 600; overflow-wrap: anywhere; }
  .name { font-weight: 600; white-space: nowrap; overflow: hidden; text-overflow: ellipsis; }
  .text:not(:empty) + .name { font-weight: 400; font-size: .82rem; color: var(--muted); }
  .meta { display: flex; flex-wrap: wrap; column-gap: .75em; color: var(--muted); font-size: .82rem; }
  .text:empty, .meta > span:empty { display: none; }
  .nothing { color: var(--muted); }
  footer { padding-block: 2rem 2.5rem; color: var(--muted); font-size: .8rem; }
  /* The album index: a card per folder, its cover as large as its thumbnail. */
  .album { color: inherit; text-decoration: none; outline: none; }
  .album:focus-visible { outline: 3px solid var(--ring); outline-offset: 3px; }
  .album .label { display: flex; flex-direction: column; gap: .1rem; padding: .65rem .85rem .8rem; min-width: 0; }
  .days { white-space: nowrap; }
  /* Index cards wide enough for an album's name and days whatever the
     thumbnail size; the cover keeps its own size in the middle. */
  @media (min-width: 481px) {
    .grid:has(> .album) { grid-template-columns: repeat(auto-fill, min(100%, max(15rem, calc(var(--cw) * 1px)))); }
  }
  /* On a phone a list: the cover beside the album's name and days. */
  @media (max-width: 480px) {
    .album { grid-column: 1 / -1; display: grid; grid-template-columns: minmax(0, 2fr) minmax(0, 3fr); align-items: center; }
  }
  .album .parent { color: var(--muted); font-size: .78rem; overflow-wrap: anywhere; }
  .album .title { font-weight: 650; font-size: 1.05rem; overflow-wrap: anywhere; }
  .parent:empty { display: none; }
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
</style>
</head>
<body>
<header>
  <h1>{{title}}</h1>
  <p>{{count}} pictures</p>
</header>
<main class="grid" style="--mw: {{maxthumbwidth}}; --ch: {{maxthumbheight}}">

[album]
  <a class="card album" href="{{albumlink}}" id="{{sectionid}}">
    <span class="shot"><img style="--tw: {{thumbwidth}}; --th: {{thumbheight}}" src="{{imgsrc}}" srcset="{{imgsrcset}}" sizes="auto, {{thumbwidth}}px" width="{{thumbwidth}}" height="{{thumbheight}}" alt="" loading="lazy" decoding="async"></span>
    <span class="label"><span class="title">{{albumname}}</span><span class="parent">{{albumparent}}</span><span class="meta"><span class="count" data-n="{{albumcount}}">{{albumcount}} picture<span class="plural">s</span></span><span class="days">{{albumdates}}</span></span></span>
  </a>

[crumb]
    <li><a href="{{crumblink}}">{{crumbname}}</a></li>

[section]
  <nav class="crumbs" aria-label="Breadcrumb"><ol>
{{crumbs}}    <li aria-current="page">{{albumname}}</li>
  </ol></nav>
  <div class="album-head" id="{{sectionid}}"><h2>{{albumname}}</h2><p><span class="count" data-n="{{albumcount}}">{{albumcount}} picture<span class="plural">s</span></span><span class="days">{{albumdates}}</span></p></div>
{{subalbums}}

[picture]
  <figure class="card">
    <a class="shot" href="{{web}}" data-vg="{{id}}"><img style="--tw: {{thumbwidth}}; --th: {{thumbheight}}" src="{{imgsrc}}" srcset="{{imgsrcset}}" sizes="auto, {{thumbwidth}}px" width="{{thumbwidth}}" height="{{thumbheight}}" alt="{{alt}}" loading="lazy" decoding="async"></a>
    <figcaption><span class="text">{{caption}}</span><span class="name">{{name}}</span><span class="meta"><span>{{datetaken}}</span><span>{{width}} &times; {{height}}</span></span></figcaption>
  </figure>

[empty]
  <p class="nothing">There are no pictures here yet.</p>

[foot]
</main>
<footer>Made {{date}} with Vignetor</footer>
</body>
</html>
