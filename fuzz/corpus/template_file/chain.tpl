[intro]
i
$PROCESS$footer
[footer]
f
$PROCESS$desc
[desc]
d
