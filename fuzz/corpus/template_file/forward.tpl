[a]
$PROCESS$b
[b]
x
$PROCESS$c
[c]
y
