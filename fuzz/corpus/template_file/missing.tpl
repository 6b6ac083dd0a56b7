[s]
$PROCESS$nothing
