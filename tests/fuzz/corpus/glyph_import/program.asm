; load
 ldi r16,0x40
 rcall lcd_fc
 ldi r16,0b00011111
 rcall lcd_ch
x: .db 1,2,$3
