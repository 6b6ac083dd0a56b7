; Gallery page
[desc]
A simple gallery
with thumbnails
[askvalues]
width;N;Columns;4
title;T;Page title;My pictures

[head]
<html><head><title>$TITLE$</title></head>
[body]
$PROCESS$head
<body>
$PROCESS$ footer
</body></html>
[footer]
<hr>
<p>made by wVignetor</p>
