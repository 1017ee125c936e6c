; LCD_char: writes the eight glyphs of the table below into CGRAM as
; characters 0 to 7, then sets DDRAM address 0 (line 1, column 1) so
; that the characters written next show on the display.
; Needs: mp0, any of r16 to r29; lcd_fc, which sends the instruction
; in mp0, and lcd_ch, which sends the data byte in mp0; both must keep
; Z. Changes mp0 and the flags; keeps Z (two bytes of stack). 47 words
; with the table, using only instructions every AVR with LPM Z+ has.
.cseg
LCD_char:
	PUSH	ZL
	PUSH	ZH
	LDI	mp0,0x40
	RCALL	lcd_fc
	LDI	ZL,LOW(2*LCD_char_rows)
	LDI	ZH,HIGH(2*LCD_char_rows)
LCD_char_next:
	LPM	mp0,Z+
	RCALL	lcd_ch
	CPI	ZL,LOW(2*LCD_char_rows+64)
	BRNE	LCD_char_next
	LDI	mp0,0x80
	RCALL	lcd_fc
	POP	ZH
	POP	ZL
	RET
LCD_char_rows:
;Arrow
	.db	0b00000100,0b00001000,0b00011111,0b00001000,0b00000100,0b00000000,0b00000000,0b00000000
;Heart
	.db	0b00000000,0b00001010,0b00011111,0b00011111,0b00001110,0b00000100,0b00000000,0b00000000
;Bell
	.db	0b00000100,0b00001110,0b00001110,0b00001110,0b00011111,0b00000000,0b00000100,0b00000000
;Degree
	.db	0b00001100,0b00010010,0b00010010,0b00001100,0b00000000,0b00000000,0b00000000,0b00000000
;Battery
	.db	0b00001110,0b00011011,0b00010001,0b00010001,0b00011111,0b00011111,0b00011111,0b00000000
;Smile
	.db	0b00000000,0b00001010,0b00001010,0b00000000,0b00010001,0b00001110,0b00000000,0b00000000
;Note
	.db	0b00000010,0b00000011,0b00000010,0b00000010,0b00001110,0b00011110,0b00001100,0b00000000
;Lock
	.db	0b00001110,0b00010001,0b00010001,0b00011111,0b00011011,0b00011011,0b00011111,0b00000000

