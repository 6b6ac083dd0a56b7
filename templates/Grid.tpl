; Grid: cards in even columns; light or dark as the reader's system is.
; Sections: desc, askvalues (the form asks for these), head, picture,
; empty, foot. Placeholders are written {{name}}; {{title}} and
; {{columns}} come from the values asked for.

[desc]
Cards in a clean grid, light or dark as
the viewer's system is. Asks for a page
title and the number of columns.

[askvalues]
title;T;Page title;My pictures
columns;N;Number of columns;4

[head]
<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<meta name="generator" content="Vignetor">
<title>{{title}}</title>
<style>
  :root { color-scheme: light dark; --bg: #f6f7f9; --card: #fff; --text: #1d2330; --muted: #6a7282;
          --ring: #3b82f6; --shadow: 0 1px 2px rgb(0 0 0 / .06), 0 4px 16px rgb(0 0 0 / .06); }
  @media (prefers-color-scheme: dark) {
    :root { --bg: #111318; --card: #1b1e25; --text: #e7e9ee; --muted: #8d95a5; --shadow: none; }
  }
  * { box-sizing: border-box; }
  body { margin: 0; background: var(--bg); color: var(--text);
         font: 15px/1.45 system-ui, -apple-system, "Segoe UI", Roboto, sans-serif; }
  header, main, footer { max-width: 1280px; margin: 0 auto; padding: 0 1.5rem; }
  header { padding-top: 2.5rem; padding-bottom: 1.5rem; }
  h1 { margin: 0; font-size: clamp(1.6rem, 3vw, 2.3rem); font-weight: 650; }
  header p { margin: .35rem 0 0; color: var(--muted); }
  .grid { display: grid; gap: 1.25rem; justify-content: start;
          grid-template-columns: repeat(var(--columns), minmax(0, 260px)); }
  @media (max-width: 900px) { .grid { grid-template-columns: repeat(auto-fill, minmax(180px, 1fr)); } }
  .card { margin: 0; background: var(--card); border-radius: 12px; box-shadow: var(--shadow); overflow: hidden; }
  .card a { color: inherit; text-decoration: none; }
  .card a:focus-visible { outline: 3px solid var(--ring); outline-offset: -3px; }
  .shot { display: grid; place-items: center; min-height: 9rem; padding: 14px; background: rgb(127 127 127 / .08); }
  .shot img { max-width: 100%; max-height: 100%; width: auto; height: auto; object-fit: contain;
              transition: transform .25s ease; }
  .card a:hover img { transform: scale(1.03); }
  figcaption { padding: .65rem .85rem .8rem; }
  .name { display: block; font-weight: 550; white-space: nowrap; overflow: hidden; text-overflow: ellipsis; }
  .meta { display: block; color: var(--muted); font-size: .82rem; }
  .nothing { color: var(--muted); }
  footer { padding-top: 2rem; padding-bottom: 2.5rem; color: var(--muted); font-size: .8rem; }
</style>
</head>
<body>
<header>
  <h1>{{title}}</h1>
  <p>{{count}} pictures from {{folder}}</p>
</header>
<main class="grid" style="--columns: {{columns}}">

[picture]
  <figure class="card">
    <a class="shot" href="{{picture}}" title="{{name}}"><img src="{{thumb}}" width="{{thumbwidth}}" height="{{thumbheight}}" alt="{{name}}" loading="lazy" decoding="async"></a>
    <figcaption><span class="name">{{name}}</span><span class="meta">{{width}} &times; {{height}} &middot; {{size}}</span></figcaption>
  </figure>

[empty]
  <p class="nothing">There are no pictures here yet.</p>

[foot]
</main>
<footer>Made {{date}} with Vignetor</footer>
</body>
</html>
