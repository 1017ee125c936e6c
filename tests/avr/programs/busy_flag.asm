; A 4-bit driver with RW wired that never waits a fixed time: before every
; access it reads the busy flag until the controller is ready, from power
; on. ATmega328P at 16 MHz. LCD: D4..D7 on PD4..PD7, RS on PD2, E on PD3,
; RW on PD1. The pin is read seven NOPs after E rose, 406 ns at 16 MHz: past
; t_DDR at either supply. LCD_char is appended after this file.

.include "m328Pdef.inc"

.def mp0 = r16
.def tmp = r17
.def status = r18
.equ RW = 1
.equ RS = 2
.equ EN = 3

.cseg
.org 0
    rjmp reset

.org INT_VECTORS_SIZE
reset:
    ldi tmp, low(RAMEND)
    out SPL, tmp
    ldi tmp, high(RAMEND)
    out SPH, tmp
    ldi tmp, 0xFE
    out DDRD, tmp
    clr tmp
    out PORTD, tmp

    ; The controller powers up in 8-bit mode; one nibble switches it.
    rcall lcd_wait
    ldi tmp, 0x20
    rcall lcd_nibble
    ldi mp0, 0x28
    rcall lcd_fc
    ldi mp0, 0x0C
    rcall lcd_fc
    ldi mp0, 0x01
    rcall lcd_fc
    ldi mp0, 0x06
    rcall lcd_fc

    rcall LCD_char
    ldi mp0, 0x80
    rcall lcd_fc
    ldi r19, 0
next_char:
    mov mp0, r19
    rcall lcd_ch
    inc r19
    cpi r19, 8
    brne next_char
stop:
    rjmp stop

; Reads the busy flag (D7 of the first nibble) until it is clear, with the
; data pins as inputs while RW is high.
lcd_wait:
    push tmp
    in tmp, DDRD
    andi tmp, 0x0F
    out DDRD, tmp
    cbi PORTD, RS
    sbi PORTD, RW
lcd_wait_poll:
    sbi PORTD, EN
    nop
    nop
    nop
    nop
    nop
    nop
    nop
    in status, PIND
    cbi PORTD, EN
    nop
    nop
    nop
    nop
    nop
    nop
    sbi PORTD, EN
    nop
    nop
    nop
    nop
    nop
    nop
    nop
    cbi PORTD, EN
    nop
    nop
    nop
    nop
    nop
    nop
    sbrc status, 7
    rjmp lcd_wait_poll
    cbi PORTD, RW
    in tmp, DDRD
    ori tmp, 0xF0
    out DDRD, tmp
    pop tmp
    ret

; Strobes the high nibble of tmp with RS as it stands.
lcd_nibble:
    push status
    in status, PORTD
    andi status, 0x0F
    andi tmp, 0xF0
    or status, tmp
    out PORTD, status
    sbi PORTD, EN
    nop
    nop
    nop
    nop
    nop
    nop
    nop
    nop
    cbi PORTD, EN
    pop status
    ret

lcd_fc:
    rcall lcd_wait
    cbi PORTD, RS
    rjmp lcd_byte
lcd_ch:
    rcall lcd_wait
    sbi PORTD, RS
lcd_byte:
    mov tmp, mp0
    rcall lcd_nibble
    mov tmp, mp0
    swap tmp
    rcall lcd_nibble
    nop
    nop
    nop
    nop
    nop
    nop
    nop
    nop
    ret
