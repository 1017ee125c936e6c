; A 4-bit driver whose E pulse is one SBI and one CBI: two cycles, 125 ns
; at 16 MHz, where the controller needs 230 ns at 5 V and 450 ns at 3.3 V.
; ATmega328P at 16 MHz. LCD: D4..D7 on PB0..PB3, RS on PB4, E on PB5, RW
; tied to ground. LCD_char is appended after this file.

.include "m328Pdef.inc"

.def mp0 = r16
.def tmp = r17
.def rs = r18

.cseg
.org 0
    rjmp reset

.org INT_VECTORS_SIZE
reset:
    ldi tmp, low(RAMEND)
    out SPL, tmp
    ldi tmp, high(RAMEND)
    out SPH, tmp
    ldi tmp, 0x3F
    out DDRB, tmp
    clr rs

    ldi r24, 50
    rcall wait_ms
    ldi tmp, 0x03
    rcall strobe
    ldi r24, 5
    rcall wait_ms
    ldi tmp, 0x03
    rcall strobe
    rcall wait_200us
    ldi tmp, 0x03
    rcall strobe
    rcall wait_200us
    ldi tmp, 0x02
    rcall strobe
    rcall wait_200us

    ldi mp0, 0x28
    rcall lcd_fc
    ldi mp0, 0x0C
    rcall lcd_fc
    ldi mp0, 0x01
    rcall lcd_fc
    ldi r24, 5
    rcall wait_ms
    ldi mp0, 0x06
    rcall lcd_fc

    rcall LCD_char
    ldi mp0, 0x80
    rcall lcd_fc
    ldi r19, 0
chars:
    mov mp0, r19
    rcall lcd_ch
    inc r19
    cpi r19, 8
    brne chars
halt:
    rjmp halt

; The nibble in tmp and RS from rs, then E for two cycles.
strobe:
    or tmp, rs
    out PORTB, tmp
    sbi PORTB, 5
    cbi PORTB, 5
    ret

lcd_fc:
    clr rs
    rjmp lcd_send
lcd_ch:
    ldi rs, 0x10
lcd_send:
    mov tmp, mp0
    swap tmp
    andi tmp, 0x0F
    rcall strobe
    mov tmp, mp0
    andi tmp, 0x0F
    rcall strobe
    rjmp wait_200us

; 200 us: 800 rounds of 4 cycles at 16 MHz.
wait_200us:
    push r24
    push r25
    ldi r24, low(800)
    ldi r25, high(800)
wait_200us_loop:
    sbiw r24, 1
    brne wait_200us_loop
    pop r25
    pop r24
    ret

; r24 milliseconds.
wait_ms:
    push r24
wait_ms_loop:
    rcall wait_200us
    rcall wait_200us
    rcall wait_200us
    rcall wait_200us
    rcall wait_200us
    dec r24
    brne wait_ms_loop
    pop r24
    ret
