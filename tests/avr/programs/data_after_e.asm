; A 4-bit driver that raises E first and puts each nibble on the bus while
; E is high: the controller takes the data when E falls, so this is as
; good as setting the data first.
; ATmega328P at 16 MHz. LCD: D4..D7 on PD4..PD7, RS on PD2, E on PD3, RW
; tied to ground. LCD_char is appended after this file.

.include "m328Pdef.inc"

.def mp0 = r16
.def tmp = r17
.equ LCD_RS = 2
.equ LCD_E = 3

.cseg
.org 0
    rjmp reset

.org INT_VECTORS_SIZE
reset:
    ldi tmp, low(RAMEND)
    out SPL, tmp
    ldi tmp, high(RAMEND)
    out SPH, tmp
    ldi tmp, 0xFC
    out DDRD, tmp
    clr tmp
    out PORTD, tmp

    ldi r24, 50
    rcall delay_ms
    ldi mp0, 0x30           ; reset by instruction, then 4 bits
    rcall lcd_nibble
    ldi r24, 5
    rcall delay_ms
    ldi mp0, 0x30
    rcall lcd_nibble
    rcall delay_150us
    ldi mp0, 0x30
    rcall lcd_nibble
    rcall delay_150us
    ldi mp0, 0x20
    rcall lcd_nibble
    rcall delay_150us

    ldi mp0, 0x28           ; two lines, 5x8 dots
    rcall lcd_fc
    ldi mp0, 0x0C           ; display on
    rcall lcd_fc
    ldi mp0, 0x01           ; clear
    rcall lcd_fc
    ldi mp0, 0x06           ; entry mode: increment
    rcall lcd_fc

    rcall LCD_char
    ldi mp0, 0x80
    rcall lcd_fc
    clr r19
show:
    mov mp0, r19
    rcall lcd_ch
    inc r19
    cpi r19, 8
    brne show
forever:
    rjmp forever

; Strobes the high nibble of mp0: E up, then the data, then E down.
lcd_nibble:
    push tmp
    push mp0
    sbi PORTD, LCD_E
    in tmp, PORTD
    andi tmp, 0x0F
    andi mp0, 0xF0
    or tmp, mp0
    out PORTD, tmp
    nop
    nop
    nop
    nop
    cbi PORTD, LCD_E
    pop mp0
    pop tmp
    ret

lcd_byte:
    rcall lcd_nibble
    swap mp0
    rcall lcd_nibble
    swap mp0
    ret

lcd_fc:
    cbi PORTD, LCD_RS
    rcall lcd_byte
    rcall delay_150us
    cpi mp0, 4              ; clear and home take 1.52 ms
    brsh lcd_fc_done
    ldi r24, 5
    rcall delay_ms
lcd_fc_done:
    ret

lcd_ch:
    sbi PORTD, LCD_RS
    rcall lcd_byte
    rjmp delay_150us

; 150 us at 16 MHz: 600 rounds of 4 cycles.
delay_150us:
    push r24
    push r25
    ldi r24, low(600)
    ldi r25, high(600)
delay_150us_loop:
    sbiw r24, 1
    brne delay_150us_loop
    pop r25
    pop r24
    ret

; r24 milliseconds.
delay_ms:
    push r24
delay_ms_loop:
    rcall delay_150us
    rcall delay_150us
    rcall delay_150us
    rcall delay_150us
    rcall delay_150us
    rcall delay_150us
    rcall delay_150us
    dec r24
    brne delay_ms_loop
    pop r24
    ret
