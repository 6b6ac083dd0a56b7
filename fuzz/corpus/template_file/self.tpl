[a]
x
$PROCESS$a
y
[b]
$PROCESS$a
$PROCESS$b
