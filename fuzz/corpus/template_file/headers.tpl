   [ desc ]   
x
[[intro]]
y
[Desc] ; note
z
[intro
w
[]
; comment
[tail]
