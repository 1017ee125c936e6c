LCD_char:
;Arrow
	LDI	mp0,0b01000000
	RCALL	lcd_fc
	LDI	mp0,0b00000100
	RCALL	lcd_ch

	LDI	mp0,0b01000001
	RCALL	lcd_fc
	LDI	mp0,0b00001000
	RCALL	lcd_ch

	LDI	mp0,0b01000010
	RCALL	lcd_fc
	LDI	mp0,0b00011111
	RCALL	lcd_ch

	LDI	mp0,0b01000011
	RCALL	lcd_fc
	LDI	mp0,0b00001000
	RCALL	lcd_ch

	LDI	mp0,0b01000100
	RCALL	lcd_fc
	LDI	mp0,0b00000100
	RCALL	lcd_ch

	LDI	mp0,0b01000101
	RCALL	lcd_fc
	LDI	mp0,0b00000000
	RCALL	lcd_ch

	LDI	mp0,0b01000110
	RCALL	lcd_fc
	LDI	mp0,0b00000000
	RCALL	lcd_ch

	LDI	mp0,0b01000111
	RCALL	lcd_fc
	LDI	mp0,0b00000000
	RCALL	lcd_ch

;Character 2
	LDI	mp0,0b01001000
	RCALL	lcd_fc
	LDI	mp0,0b00000000
	RCALL	lcd_ch

	LDI	mp0,0b01001001
	RCALL	lcd_fc
	LDI	mp0,0b00000000
	RCALL	lcd_ch

	LDI	mp0,0b01001010
	RCALL	lcd_fc
	LDI	mp0,0b00000000
	RCALL	lcd_ch

	LDI	mp0,0b01001011
	RCALL	lcd_fc
	LDI	mp0,0b00000000
	RCALL	lcd_ch

	LDI	mp0,0b01001100
	RCALL	lcd_fc
	LDI	mp0,0b00000000
	RCALL	lcd_ch

	LDI	mp0,0b01001101
	RCALL	lcd_fc
	LDI	mp0,0b00000000
	RCALL	lcd_ch

	LDI	mp0,0b01001110
	RCALL	lcd_fc
	LDI	mp0,0b00000000
	RCALL	lcd_ch

	LDI	mp0,0b01001111
	RCALL	lcd_fc
	LDI	mp0,0b00000000
	RCALL	lcd_ch

;Character 3
	LDI	mp0,0b01010000
	RCALL	lcd_fc
	LDI	mp0,0b00000000
	RCALL	lcd_ch

	LDI	mp0,0b01010001
	RCALL	lcd_fc
	LDI	mp0,0b00000000
	RCALL	lcd_ch

	LDI	mp0,0b01010010
	RCALL	lcd_fc
	LDI	mp0,0b00000000
	RCALL	lcd_ch

	LDI	mp0,0b01010011
	RCALL	lcd_fc
	LDI	mp0,0b00000000
	RCALL	lcd_ch

	LDI	mp0,0b01010100
	RCALL	lcd_fc
	LDI	mp0,0b00000000
	RCALL	lcd_ch

	LDI	mp0,0b01010101
	RCALL	lcd_fc
	LDI	mp0,0b00000000
	RCALL	lcd_ch

	LDI	mp0,0b01010110
	RCALL	lcd_fc
	LDI	mp0,0b00000000
	RCALL	lcd_ch

	LDI	mp0,0b01010111
	RCALL	lcd_fc
	LDI	mp0,0b00000000
	RCALL	lcd_ch

;Character 4
	LDI	mp0,0b01011000
	RCALL	lcd_fc
	LDI	mp0,0b00000000
	RCALL	lcd_ch

	LDI	mp0,0b01011001
	RCALL	lcd_fc
	LDI	mp0,0b00000000
	RCALL	lcd_ch

	LDI	mp0,0b01011010
	RCALL	lcd_fc
	LDI	mp0,0b00000000
	RCALL	lcd_ch

	LDI	mp0,0b01011011
	RCALL	lcd_fc
	LDI	mp0,0b00000000
	RCALL	lcd_ch

	LDI	mp0,0b01011100
	RCALL	lcd_fc
	LDI	mp0,0b00000000
	RCALL	lcd_ch

	LDI	mp0,0b01011101
	RCALL	lcd_fc
	LDI	mp0,0b00000000
	RCALL	lcd_ch

	LDI	mp0,0b01011110
	RCALL	lcd_fc
	LDI	mp0,0b00000000
	RCALL	lcd_ch

	LDI	mp0,0b01011111
	RCALL	lcd_fc
	LDI	mp0,0b00000000
	RCALL	lcd_ch

;Character 5
	LDI	mp0,0b01100000
	RCALL	lcd_fc
	LDI	mp0,0b00000000
	RCALL	lcd_ch

	LDI	mp0,0b01100001
	RCALL	lcd_fc
	LDI	mp0,0b00000000
	RCALL	lcd_ch

	LDI	mp0,0b01100010
	RCALL	lcd_fc
	LDI	mp0,0b00000000
	RCALL	lcd_ch

	LDI	mp0,0b01100011
	RCALL	lcd_fc
	LDI	mp0,0b00000000
	RCALL	lcd_ch

	LDI	mp0,0b01100100
	RCALL	lcd_fc
	LDI	mp0,0b00000000
	RCALL	lcd_ch

	LDI	mp0,0b01100101
	RCALL	lcd_fc
	LDI	mp0,0b00000000
	RCALL	lcd_ch

	LDI	mp0,0b01100110
	RCALL	lcd_fc
	LDI	mp0,0b00000000
	RCALL	lcd_ch

	LDI	mp0,0b01100111
	RCALL	lcd_fc
	LDI	mp0,0b00000000
	RCALL	lcd_ch

;Character 6
	LDI	mp0,0b01101000
	RCALL	lcd_fc
	LDI	mp0,0b00000000
	RCALL	lcd_ch

	LDI	mp0,0b01101001
	RCALL	lcd_fc
	LDI	mp0,0b00000000
	RCALL	lcd_ch

	LDI	mp0,0b01101010
	RCALL	lcd_fc
	LDI	mp0,0b00000000
	RCALL	lcd_ch

	LDI	mp0,0b01101011
	RCALL	lcd_fc
	LDI	mp0,0b00000000
	RCALL	lcd_ch

	LDI	mp0,0b01101100
	RCALL	lcd_fc
	LDI	mp0,0b00000000
	RCALL	lcd_ch

	LDI	mp0,0b01101101
	RCALL	lcd_fc
	LDI	mp0,0b00000000
	RCALL	lcd_ch

	LDI	mp0,0b01101110
	RCALL	lcd_fc
	LDI	mp0,0b00000000
	RCALL	lcd_ch

	LDI	mp0,0b01101111
	RCALL	lcd_fc
	LDI	mp0,0b00000000
	RCALL	lcd_ch

;Character 7
	LDI	mp0,0b01110000
	RCALL	lcd_fc
	LDI	mp0,0b00000000
	RCALL	lcd_ch

	LDI	mp0,0b01110001
	RCALL	lcd_fc
	LDI	mp0,0b00000000
	RCALL	lcd_ch

	LDI	mp0,0b01110010
	RCALL	lcd_fc
	LDI	mp0,0b00000000
	RCALL	lcd_ch

	LDI	mp0,0b01110011
	RCALL	lcd_fc
	LDI	mp0,0b00000000
	RCALL	lcd_ch

	LDI	mp0,0b01110100
	RCALL	lcd_fc
	LDI	mp0,0b00000000
	RCALL	lcd_ch

	LDI	mp0,0b01110101
	RCALL	lcd_fc
	LDI	mp0,0b00000000
	RCALL	lcd_ch

	LDI	mp0,0b01110110
	RCALL	lcd_fc
	LDI	mp0,0b00000000
	RCALL	lcd_ch

	LDI	mp0,0b01110111
	RCALL	lcd_fc
	LDI	mp0,0b00000000
	RCALL	lcd_ch

;Character 8
	LDI	mp0,0b01111000
	RCALL	lcd_fc
	LDI	mp0,0b00000000
	RCALL	lcd_ch

	LDI	mp0,0b01111001
	RCALL	lcd_fc
	LDI	mp0,0b00000000
	RCALL	lcd_ch

	LDI	mp0,0b01111010
	RCALL	lcd_fc
	LDI	mp0,0b00000000
	RCALL	lcd_ch

	LDI	mp0,0b01111011
	RCALL	lcd_fc
	LDI	mp0,0b00000000
	RCALL	lcd_ch

	LDI	mp0,0b01111100
	RCALL	lcd_fc
	LDI	mp0,0b00000000
	RCALL	lcd_ch

	LDI	mp0,0b01111101
	RCALL	lcd_fc
	LDI	mp0,0b00000000
	RCALL	lcd_ch

	LDI	mp0,0b01111110
	RCALL	lcd_fc
	LDI	mp0,0b00000000
	RCALL	lcd_ch

	LDI	mp0,0b01111111
	RCALL	lcd_fc
	LDI	mp0,0b00000000
	RCALL	lcd_ch

RET
