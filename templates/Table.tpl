; Table: the classic contact sheet, a fixed number of pictures per row.
; Shows the row sections: [perrow] gives the number of pictures in a row,
; [rowbreak] goes between two rows. On a narrow screen the cells flow into
; two or three columns instead. A folder's [section] ends the row and puts
; a heading row of its own.

[desc]
A classic contact sheet: a table with
captions and sizes under the pictures.
Asks for a title, a text, pictures per
row and page, order and more.

[askvalues]
title;T;Page title;Contact sheet
intro;T;Text under the title;
columns;N;Pictures per row;5
perpage;N;Pictures per page (0: all);100
order;T;Order: name or date (taken);name
videos;T;Videos (MP4, MOV, WebM, M4V) as gallery items: yes or no;no
slideshow;N;Slideshow: seconds per picture;5
slideshowend;T;Slideshow after the last picture: wrap or stop;wrap
zip;T;A ZIP of all pictures to download: yes or no;no
siteurl;T;Address it is published at, for link previews (else empty);

[perrow]
{{columns}}

[gallery]
websize=1600
thumb2x=yes
thumb3x=yes
perpage={{perpage}}
order={{order}}
zip={{zip}}
siteurl={{siteurl}}
video={{videos}}
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
  :root { color-scheme: light dark; --paper: #fbfaf7; --cell: #fff; --edge: #e4e0d6; --ink: #222; --soft: #6f6a60;
          --ring: #b4461b; --well: #f2efe8; }
  @media (prefers-color-scheme: dark) {
    :root { --paper: #1a1917; --cell: #23221f; --edge: #3a3731; --ink: #ece8df; --soft: #a8a192;
            --ring: #f0a070; --well: #1d1c1a; }
  }
  * { box-sizing: border-box; }
  /* Cells as high as the highest thumbnail and at most 4:3 wide (a panorama
     is shown smaller rather than widen every cell). */
  main { --cw: min(var(--mw), var(--ch) * 4 / 3); }
  body { margin: 0; padding: clamp(1rem, 3vw, 2.5rem); background: var(--paper); color: var(--ink);
         font: 15px/1.4 Georgia, "Iowan Old Style", "Palatino Linotype", serif; }
  h1 { margin: 0 0 .25rem; font-weight: normal; font-size: clamp(1.6rem, 1.2rem + 1.5vw, 2.4rem); overflow-wrap: anywhere; }
  .intro { margin: 0 0 1.25rem; color: var(--soft); }
  .intro:empty { display: none; }
  /* Equal columns over the whole width; a row's cells share its height. */
  table.sheet { width: calc(100% + 28px); margin: 0 -14px; table-layout: fixed;
                border-collapse: separate; border-spacing: 14px; }
  td { vertical-align: top; text-align: center; background: var(--cell); padding: 10px;
       border: 1px solid var(--edge); box-shadow: 0 1px 3px rgb(0 0 0 / .06); }
  td:has(a:focus-visible) { outline: 3px solid var(--ring); outline-offset: 2px; }
  td a { display: block; color: inherit; text-decoration: none; outline: none; }
  td a:hover :is(.text, .name), td a:focus-visible :is(.text, .name) { text-decoration: underline; }
  /* As large as the largest thumbnail at most (--cw x --ch), smaller in a narrower cell. */
  .frame { position: relative; display: block; max-width: calc(var(--cw) * 1px); margin-inline: auto;
           aspect-ratio: var(--cw) / var(--ch); background: var(--well); }
  .frame img { position: absolute; inset: 0; margin: auto; width: 100%; height: 100%; object-fit: contain;
               max-width: calc(var(--tw) * 1px); max-height: calc(var(--th) * 1px); }
  /* The caption first where the picture has one, its file name under it. */
  .text { display: block; margin: .5rem 0 0; font-size: .9rem; overflow-wrap: anywhere; }
  .text:empty { display: none; }
  .name { display: block; margin: .5rem 0 0; font-size: .85rem; overflow-wrap: anywhere; }
  .text:not(:empty) + .name { margin-top: .15rem; font-size: .75rem; color: var(--soft); }
  .meta { display: flex; flex-wrap: wrap; justify-content: center; column-gap: .7em;
          color: var(--soft); font: .75rem system-ui, sans-serif; }
  .meta span { white-space: nowrap; }
  .meta span:empty { display: none; }
  tr.folder th { padding: 1rem 0 0; text-align: left; overflow-wrap: anywhere; }
  tr.folder h2 { margin: 0; font-weight: normal; font-size: 1.3rem; }
  tr.folder small { color: var(--soft); font: .8rem system-ui, sans-serif; margin-left: .5rem; }
  tr.folder:has(span:empty), tr:not(:has(td, th)) { display: none; }
  td.empty-note { color: var(--soft); }
  /* Narrow screens: the cells flow into as many columns as fit. */
  @media (max-width: 760px) {
    table.sheet, table.sheet tbody, table.sheet tr { display: contents; }
    .sheet-wrap { display: grid; grid-template-columns: repeat(auto-fill, minmax(min(100%, 150px), 1fr)); gap: 12px; }
    td { display: block; min-width: 0; }
    tr.folder th { display: block; grid-column: 1 / -1; }
  }
  .pages { grid-column: 1 / -1; display: flex; flex-wrap: wrap; justify-content: center; align-items: center; gap: .5rem 1.25rem;
           margin: 1.5rem 0 0; font-size: .95rem; }
  .pages a { color: var(--ink); }
  .pages a:focus-visible { outline: 3px solid var(--ring); outline-offset: 3px; }
  .pages a[href=""] { visibility: hidden; }
  footer { margin-top: 1.5rem; color: var(--soft); font: .75rem system-ui, sans-serif; }
  /* The ZIP's link, where the gallery has one. */
  a.zip { color: inherit; white-space: nowrap; }
  a.zip[href=""] { display: none; }
</style>
</head>
<body>
<header>
<h1>{{title}}</h1>
<p class="intro">{{intro}}</p>
<p><a class="zip" href="{{albumzip}}" download>Download all (ZIP, {{albumzipsize}})</a></p>
</header>
<main class="sheet-wrap" style="--mw: {{maxthumbwidth}}; --ch: {{maxthumbheight}}">
<table class="sheet">
<tr>

[section]
</tr>
<tr class="folder" id="{{sectionid}}"><th colspan="{{columns}}"><h2><span>{{section}}</span><small>{{sectioncount}}</small></h2></th></tr>
<tr>

[picture]
<td><a href="{{web}}" data-vg="{{id}}"><span class="frame"><img style="--tw: {{thumbwidth}}; --th: {{thumbheight}}" src="{{imgsrc}}" srcset="{{imgsrcset}}" sizes="auto, {{thumbwidth}}px" width="{{thumbwidth}}" height="{{thumbheight}}" alt="{{alt}}" loading="lazy" decoding="async"></span><span class="text">{{caption}}</span><span class="name">{{name}}</span><span class="meta"><span>{{datetaken}}</span><span>{{width}} &times; {{height}}</span><span>{{size}}</span></span></a></td>

[rowbreak]
</tr>
<tr>

[empty]
<td class="empty-note" colspan="{{columns}}">There are no pictures here yet.</td>

[pagenav]
</tr>
</table>
<nav class="pages" aria-label="Pages">
  <a href="{{firstpage}}">First</a>
  <a href="{{prevpage}}" rel="prev">&larr; Previous</a>
  <span>Page {{page}} of {{pages}}</span>
  <a href="{{nextpage}}" rel="next">Next &rarr;</a>
  <a href="{{lastpage}}">Last</a>
</nav>
<table class="sheet">
<tr>

[foot]
</tr>
</table>
</main>
<footer>{{count}} pictures &middot; made {{date}} with Vignetor</footer>
</body>
</html>
