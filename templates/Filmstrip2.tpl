; Filmstrip2: a dark strip of frames that scrolls sideways.
; Sections: desc (shown in the form), head, picture (once per picture),
; empty (when there are none), foot. Placeholders are written {{name}}.

[desc]
A dark film strip that scrolls sideways,
each picture's name and size under its
frame. Click a frame to open the picture.

[head]
<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<meta name="generator" content="Vignetor">
<title>{{title}}</title>
<style>
  :root { color-scheme: dark; --film: #141414; --hole: #2c2c2c; --accent: #f5b942; }
  * { box-sizing: border-box; }
  body { margin: 0; min-height: 100vh; display: flex; flex-direction: column; justify-content: center;
         background: radial-gradient(ellipse at top, #2a2f3a, #0d0f13 70%); color: #e8e8e8;
         font: 15px/1.4 system-ui, -apple-system, "Segoe UI", Roboto, sans-serif; }
  header { padding: 2rem 2.5rem 1rem; }
  h1 { margin: 0; font-weight: 600; font-size: clamp(1.6rem, 3vw, 2.4rem); letter-spacing: .01em; }
  header p { margin: .3rem 0 0; color: #9aa3b2; }
  .strip { display: flex; gap: 0; overflow-x: auto; scroll-snap-type: x proximity; padding: 0 2.5rem 1rem;
           scrollbar-color: #555 transparent; }
  .frame { flex: none; margin: 0; display: flex; flex-direction: column; scroll-snap-align: start; background: var(--film); padding: 26px 10px;
           background-image: radial-gradient(circle, var(--hole) 4px, transparent 5px),
                             radial-gradient(circle, var(--hole) 4px, transparent 5px);
           background-size: 20px 20px; background-repeat: repeat-x;
           background-position: 0 3px, 0 calc(100% - 3px); }
  .frame a { display: block; color: inherit; text-decoration: none; }
  .frame img { display: block; height: auto; max-width: none; border: 2px solid #000;
               transition: transform .2s ease, box-shadow .2s ease; }
  .frame a:hover img, .frame a:focus-visible img { transform: scale(1.04); box-shadow: 0 0 0 2px var(--accent); }
  .frame a:focus-visible { outline: none; }
  .caption { width: 0; min-width: 100%; margin-top: .5rem; font-size: .8rem; color: #c9c9c9;
             white-space: nowrap; overflow: hidden; text-overflow: ellipsis; }
  .caption small { display: block; color: #7f8896; }
  .nothing { padding: 2rem 2.5rem; color: #9aa3b2; }
  footer { padding: 1rem 2.5rem 2rem; color: #6b7380; font-size: .8rem; }
</style>
</head>
<body>
<header>
  <h1>{{title}}</h1>
  <p>{{count}} pictures</p>
</header>
<main class="strip">

[picture]
  <figure class="frame">
    <a href="{{picture}}" title="{{name}}"><img src="{{thumb}}" width="{{thumbwidth}}" height="{{thumbheight}}" alt="{{name}}" loading="lazy" decoding="async"></a>
    <figcaption class="caption">{{name}}<small>{{width}} &times; {{height}} &middot; {{size}}</small></figcaption>
  </figure>

[empty]
  <p class="nothing">There are no pictures here yet.</p>

[foot]
</main>
<footer>Made {{date}} with Vignetor</footer>
</body>
</html>
