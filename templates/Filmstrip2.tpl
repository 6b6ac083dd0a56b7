; Filmstrip2: a strip of film frames that scrolls sideways inside the page;
; the page is light or dark as the reader's system is, the film stays dark.
; The edges of the strip fade where there are more frames to scroll to.
; It asks for nothing: the title is the folder's name, every picture is on
; the one page, in the order of their names.
; Sections: desc, gallery (what the generator makes and copies), head,
; section (a title frame before a folder's pictures), picture, empty,
; pagenav (the last frame, with links between pages), foot.
; Placeholders are written {{name}}.

[desc]
A film strip that scrolls sideways, each
picture's caption and size under its
frame; all pictures on a page. Asks for
nothing.

[gallery]
websize=1600
thumb2x=yes
thumb3x=yes
perpage=0
order=name
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
<script src="vignetor-viewer.js" data-slideshow="5" data-slideshow-end="wrap" defer></script>
<style>
  :root { color-scheme: light dark; --bg: #eceef2; --text: #1d2230; --muted: #5f6878; --accent: #d98a00;
          --film: #161616; --hole: #eceef2; --fade: 56px; }
  @media (prefers-color-scheme: dark) {
    :root { --bg: #0d0f13; --text: #e8e8e8; --muted: #9aa3b2; --accent: #f5b942; --film: #1e1e1e; --hole: #0d0f13; }
  }
  * { box-sizing: border-box; }
  body { margin: 0; min-height: 100vh; display: flex; flex-direction: column; justify-content: center;
         background: var(--bg); color: var(--text);
         font: 15px/1.4 system-ui, -apple-system, "Segoe UI", Roboto, sans-serif; }
  header { padding: 2rem clamp(1rem, 3vw, 2.5rem) 1rem; }
  h1 { margin: 0; font-weight: 650; font-size: clamp(1.6rem, 1.2rem + 1.5vw, 2.4rem); overflow-wrap: anywhere; }
  header p { margin: .3rem 0 0; color: var(--muted); }
  .hint::after { content: "  \2192"; }
  .strip { display: flex; overflow-x: auto; overscroll-behavior-x: contain; scroll-snap-type: x proximity;
           padding: 0 clamp(1rem, 3vw, 2.5rem) 12px; scrollbar-color: var(--muted) transparent;
           scroll-padding-inline: clamp(1rem, 3vw, 2.5rem); }
  .strip:focus-visible { outline: 3px solid var(--accent); outline-offset: -3px; }
  /* Where there is more to scroll to, that edge of the strip fades out. */
  @property --fade-start { syntax: "<length>"; inherits: false; initial-value: 0px; }
  @property --fade-end { syntax: "<length>"; inherits: false; initial-value: 0px; }
  @supports (animation-timeline: scroll()) {
    .strip { animation: edges linear both; animation-timeline: scroll(self inline);
             mask-image: linear-gradient(to right, transparent, #000 var(--fade-start),
                                         #000 calc(100% - var(--fade-end)), transparent); }
    @keyframes edges {
      from { --fade-start: 0px; --fade-end: var(--fade); }
      8%, 92% { --fade-start: var(--fade); --fade-end: var(--fade); }
      to { --fade-start: var(--fade); --fade-end: 0px; }
    }
  }
  .frame { flex: none; margin: 0; display: flex; flex-direction: column; justify-content: flex-end;
           scroll-snap-align: start; background-color: var(--film); padding: 26px 8px; color: #d8d8d8;
           background-image: radial-gradient(circle, var(--hole) 4px, transparent 5px),
                             radial-gradient(circle, var(--hole) 4px, transparent 5px);
           background-size: 20px 20px; background-repeat: repeat-x;
           background-position: 0 3px, 0 calc(100% - 3px); }
  .frame a { display: block; margin-block: auto; color: inherit; text-decoration: none; outline: none; }
  /* As high as its thumbnail, or lower where a wide picture would not fit the screen. */
  .frame img { display: block; width: auto; height: min(var(--h) * 1px, 80vw * var(--h) / var(--w));
               border: 2px solid #000; transition: transform .2s ease, box-shadow .2s ease; }
  .frame a:hover img, .frame a:focus-visible img { transform: scale(1.03); box-shadow: 0 0 0 3px var(--accent); }
  .caption { width: 0; min-width: 100%; margin-top: .5rem; font-size: .8rem;
             white-space: nowrap; overflow: hidden; text-overflow: ellipsis; }
  .caption span, .caption small { display: block; overflow: hidden; text-overflow: ellipsis; }
  .caption small { font-size: .75rem; color: #a3aab5; }
  /* The caption first where the picture has one, its file name under it. */
  .caption .text:empty { display: none; }
  .caption .text:not(:empty) + .name { font-size: .75rem; color: #c4c9d1; }
  .title-frame { justify-content: center; min-width: 11rem; padding-inline: 1.25rem; }
  .title-frame h2 { margin: 0; font-size: 1.15rem; font-weight: 600; color: #fff; overflow-wrap: anywhere; }
  .title-frame small { font-size: .8rem; color: #a3aab5; }
  .title-frame:has(h2:empty) { display: none; }
  .title-frame nav { display: flex; flex-direction: column; gap: .6rem; }
  .title-frame nav a { color: #fff; }
  .title-frame nav a:focus-visible { outline: 3px solid var(--accent); outline-offset: 3px; }
  .title-frame nav a[href=""] { display: none; }
  .nothing { padding: 2rem; color: var(--muted); }
  footer { padding: 1rem clamp(1rem, 3vw, 2.5rem) 2rem; color: var(--muted); font-size: .8rem; }
</style>
</head>
<body>
<header>
  <h1>{{title}}</h1>
  <p><span class="hint">{{count}} pictures</span></p>
</header>
<main class="strip">

[section]
  <div class="frame title-frame" id="{{sectionid}}"><h2>{{section}}</h2><small>{{sectioncount}} pictures</small></div>

[picture]
  <figure class="frame">
    <a href="{{web}}" data-vg="{{id}}"><img src="{{imgsrc}}" srcset="{{imgsrcset}}" sizes="auto, {{thumbwidth}}px" width="{{thumbwidth}}" height="{{thumbheight}}" style="--w: {{thumbwidth}}; --h: {{thumbheight}}" alt="{{alt}}" loading="lazy" decoding="async"></a>
    <figcaption class="caption"><span class="text">{{caption}}</span><span class="name">{{name}}</span><small>{{width}} &times; {{height}} &middot; {{size}}</small></figcaption>
  </figure>

[empty]
  <p class="nothing">There are no pictures here yet.</p>

[pagenav]
  <div class="frame title-frame"><h2>Page {{page}} of {{pages}}</h2>
    <nav aria-label="Pages"><a href="{{nextpage}}" rel="next">Next page &rarr;</a><a href="{{prevpage}}" rel="prev">&larr; Previous page</a><a href="{{firstpage}}">First page</a></nav>
  </div>

[foot]
</main>
<footer>Made {{date}} with Vignetor</footer>
</body>
</html>
