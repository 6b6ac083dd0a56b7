[desc]
one
two
[desc]
three
[desc]
; none
