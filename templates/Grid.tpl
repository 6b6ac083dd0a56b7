; Grid: cards in even columns over the whole width; light or dark as the
; reader's system is. A click on a card shows the picture in the viewer.
; Sections: desc, askvalues (the form asks for these), gallery (what the
; generator makes and copies), head, section (before a folder's pictures),
; picture, empty, pagenav (links between pages), foot.
; Placeholders are written {{name}}.

[desc]
Cards over the width, large pictures
first, light or dark as the viewer's
system is. Asks for a title, pictures
per page, order, slideshow and more.

[askvalues]
title;T;Page title;My pictures
perpage;N;Pictures per page (0: all);60
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
cellsize=320
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
  .section { grid-column: 1 / -1; display: flex; align-items: baseline; gap: .6rem; margin: 1.25rem 0 0;
             font-size: 1.25rem; font-weight: 650; overflow-wrap: anywhere; }
  .section small { color: var(--muted); font-size: .85rem; font-weight: 500; }
  .section:has(> span:empty) { display: none; }
  .pages { grid-column: 1 / -1; display: flex; flex-wrap: wrap; justify-content: center; align-items: center;
           gap: .5rem 1rem; margin-top: 1rem; color: var(--muted); }
  .pages a { padding: .45rem .9rem; border-radius: 999px; background: var(--card); color: var(--text);
             border: 1px solid var(--line); text-decoration: none; }
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
<main class="grid">

[section]
  <h2 class="section" id="{{sectionid}}"><span>{{section}}</span><small>{{sectioncount}}</small></h2>

[picture]
  <figure class="card">
    <a class="shot" href="{{web}}" data-vg="{{id}}"><img style="--w: {{displaywidth}}; --h: {{displayheight}}; --max: {{displaymaxwidth}}" src="{{displaysrc}}" srcset="{{displaysrcset}}" sizes="auto, {{displaywidth}}px" width="{{displaywidth}}" height="{{displayheight}}" alt="{{alt}}" loading="lazy" decoding="async"></a>
    <figcaption><span class="text">{{caption}}</span><span class="name">{{name}}</span><span class="meta"><span>{{datetaken}}</span><span class="size">{{width}} &times; {{height}}</span></span></figcaption>
  </figure>

[empty]
  <p class="nothing">There are no pictures here yet.</p>

[pagenav]
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
