; The pins of the Arduino LiquidCrystal example, lcd(12, 11, 5, 4, 3, 2):
; RS on D12 (PB4), E on D11 (PB3), D4..D7 on D5 D4 D3 D2 (PD5 PD4 PD3
; PD2), RW tied to ground. Each pin set on its own, then E low 1 us, high
; 1 us, low, and 100 us for the controller, as the library does.
; ATmega328P at 16 MHz (an Uno). LCD_char is appended after this file.

.include "m328Pdef.inc"

.def mp0 = r16
.def nib = r17

.cseg
.org 0
    rjmp reset

.org INT_VECTORS_SIZE
reset:
    ldi r18, low(RAMEND)
    out SPL, r18
    ldi r18, high(RAMEND)
    out SPH, r18
    sbi DDRB, 4
    sbi DDRB, 3
    sbi DDRD, 5
    sbi DDRD, 4
    sbi DDRD, 3
    sbi DDRD, 2

    ldi r24, 50
    rcall delay_ms
    cbi PORTB, 4
    cbi PORTB, 3
    ldi nib, 0x03
    rcall write4bits
    ldi r24, 5
    rcall delay_ms
    ldi nib, 0x03
    rcall write4bits
    ldi r24, 5
    rcall delay_ms
    ldi nib, 0x03
    rcall write4bits
    rcall delay_100us
    ldi nib, 0x02
    rcall write4bits

    ldi mp0, 0x28
    rcall command
    ldi mp0, 0x0C
    rcall command
    ldi mp0, 0x01
    rcall command
    ldi r24, 2
    rcall delay_ms
    ldi mp0, 0x06
    rcall command

    rcall LCD_char
    ldi mp0, 0x80
    rcall command
    ldi r19, 0
print:
    mov mp0, r19
    rcall write
    inc r19
    cpi r19, 8
    brne print
done:
    rjmp done

; LCD_char calls them lcd_fc and lcd_ch.
lcd_fc:
command:
    cbi PORTB, 4
    rjmp send
lcd_ch:
write:
    sbi PORTB, 4
send:
    mov nib, mp0
    swap nib
    rcall write4bits
    mov nib, mp0
    rjmp write4bits

; The low nibble of nib onto D4..D7, one pin at a time, then the pulse.
write4bits:
    sbrc nib, 0
    sbi PORTD, 5
    sbrs nib, 0
    cbi PORTD, 5
    sbrc nib, 1
    sbi PORTD, 4
    sbrs nib, 1
    cbi PORTD, 4
    sbrc nib, 2
    sbi PORTD, 3
    sbrs nib, 2
    cbi PORTD, 3
    sbrc nib, 3
    sbi PORTD, 2
    sbrs nib, 3
    cbi PORTD, 2
    cbi PORTB, 3
    rcall delay_1us
    sbi PORTB, 3
    rcall delay_1us
    cbi PORTB, 3
    rjmp delay_100us

delay_1us:
    nop
    nop
    nop
    nop
    nop
    nop
    nop
    nop
    nop
    ret

delay_100us:
    push r24
    push r25
    ldi r24, low(400)
    ldi r25, high(400)
delay_100us_loop:
    sbiw r24, 1
    brne delay_100us_loop
    pop r25
    pop r24
    ret

delay_ms:
    push r24
delay_ms_loop:
    rcall delay_100us
    rcall delay_100us
    rcall delay_100us
    rcall delay_100us
    rcall delay_100us
    rcall delay_100us
    rcall delay_100us
    rcall delay_100us
    rcall delay_100us
    rcall delay_100us
    dec r24
    brne delay_ms_loop
    pop r24
    ret
