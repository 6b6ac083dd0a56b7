; Table: the classic contact sheet, a fixed number of pictures per row.
; Shows the row sections: [perrow] gives the number of pictures in a row,
; [rowbreak] goes between two rows.

[desc]
A classic contact sheet: a table with
names and sizes under the pictures. Asks
for a title, a text and pictures per row.

[askvalues]
title;T;Page title;Contact sheet
intro;T;Text under the title;
columns;N;Pictures per row;5

[perrow]
{{columns}}

[head]
<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<meta name="generator" content="Vignetor">
<title>{{title}}</title>
<style>
  :root { color-scheme: light; }
  body { margin: 0; padding: 2rem; background: #fbfaf7; color: #222;
         font: 15px/1.4 Georgia, "Iowan Old Style", "Palatino Linotype", serif; }
  h1 { margin: 0 0 .25rem; font-weight: normal; font-size: 2rem; }
  .intro { margin: 0 0 1.5rem; color: #555; }
  .sheet { overflow-x: auto; }
  table { border-collapse: separate; border-spacing: 14px; margin: 0 -14px; }
  td { vertical-align: top; text-align: center; background: #fff; padding: 10px;
       border: 1px solid #e4e0d6; box-shadow: 0 1px 3px rgb(0 0 0 / .06); }
  td a { color: inherit; text-decoration: none; }
  td a:hover .name, td a:focus-visible .name { text-decoration: underline; }
  img { display: block; margin: 0 auto; height: auto; }
  .name { display: block; max-width: 16em; margin: .5rem auto 0; font-size: .85rem;
          overflow-wrap: anywhere; }
  .meta { display: block; color: #888; font: .75rem system-ui, sans-serif; }
  footer { margin-top: 1.5rem; color: #999; font: .75rem system-ui, sans-serif; }
</style>
</head>
<body>
<h1>{{title}}</h1>
<p class="intro">{{intro}}</p>
<div class="sheet">
<table>
<tr>

[picture]
<td><a href="{{picture}}" title="{{name}}"><img src="{{thumb}}" width="{{thumbwidth}}" height="{{thumbheight}}" alt="{{name}}" loading="lazy" decoding="async"><span class="name">{{name}}</span><span class="meta">{{width}} &times; {{height}} &middot; {{size}}</span></a></td>

[rowbreak]
</tr>
<tr>

[empty]
<td>There are no pictures here yet.</td>

[foot]
</tr>
</table>
</div>
<footer>{{count}} pictures &middot; made {{date}} with Vignetor</footer>
</body>
</html>
