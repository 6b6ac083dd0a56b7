[s]
	 lead
trail 	
; kept

last