; An 8-bit bus spread over two ports, as a board routed it: D0..D3 on
; PC0..PC3, D4..D7 on PD4..PD7, RS on PB0, E on PB1, RW tied to ground.
; Timed waits, the datasheet's reset by instruction for 8 bits.
; ATmega328P at 16 MHz. LCD_char is appended after this file.

.include "m328Pdef.inc"

.def mp0 = r16
.def tmp = r17

.cseg
.org 0
    rjmp reset

.org INT_VECTORS_SIZE
reset:
    ldi tmp, low(RAMEND)
    out SPL, tmp
    ldi tmp, high(RAMEND)
    out SPH, tmp
    ldi tmp, 0x0F
    out DDRC, tmp
    ldi tmp, 0xF0
    out DDRD, tmp
    ldi tmp, 0x03
    out DDRB, tmp

    ldi r20, 40
    rcall ms_wait
    ldi mp0, 0x30
    rcall lcd_fc
    ldi r20, 5
    rcall ms_wait
    ldi mp0, 0x30
    rcall lcd_fc
    ldi mp0, 0x30
    rcall lcd_fc
    ldi mp0, 0x38
    rcall lcd_fc
    ldi mp0, 0x08
    rcall lcd_fc
    ldi mp0, 0x01
    rcall lcd_fc
    ldi mp0, 0x06
    rcall lcd_fc
    ldi mp0, 0x0C
    rcall lcd_fc

    rcall LCD_char
    ldi mp0, 0x80
    rcall lcd_fc
    ldi r19, 0
put:
    mov mp0, r19
    rcall lcd_ch
    inc r19
    cpi r19, 8
    brne put
idle:
    rjmp idle

lcd_fc:
    cbi PORTB, 0
    rcall lcd_out
    cpi mp0, 0x04
    brsh lcd_fc_ret
    ldi r20, 5
    rcall ms_wait
lcd_fc_ret:
    ret

lcd_ch:
    sbi PORTB, 0

; The byte in mp0 on both ports, E high 500 ns, then 150 us.
lcd_out:
    out PORTC, mp0
    in tmp, PORTD
    andi tmp, 0x0F
    push mp0
    andi mp0, 0xF0
    or tmp, mp0
    pop mp0
    out PORTD, tmp
    sbi PORTB, 1
    nop
    nop
    nop
    nop
    nop
    nop
    cbi PORTB, 1
    ldi r21, 200
lcd_out_wait:
    nop
    nop
    nop
    nop
    nop
    nop
    nop
    nop
    nop
    dec r21
    brne lcd_out_wait
    ret

; r20 milliseconds.
ms_wait:
    ldi r22, 8
ms_wait_outer:
    ldi r21, 250
ms_wait_inner:
    nop
    nop
    nop
    nop
    nop
    dec r21
    brne ms_wait_inner
    dec r22
    brne ms_wait_outer
    dec r20
    brne ms_wait
    ret
