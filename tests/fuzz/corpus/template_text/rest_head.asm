
; Glimmerset HD44780 driver for the code above: lcd_setup lcd_fc lcd_ch.
;
; Target: ATmega328P with a 16 MHz crystal; HD44780 character LCD driven
; in 4-bit mode over PORTB. Wiring:
;   PB0 PB1 PB2 PB3  to  D4 D5 D6 D7
;   PB4              to  RS
;   PB5              to  E
;   RW tied to GND: the busy flag can't be read so every wait is timed
;   D0 to D3 left open
; The driver owns PORTB: it writes the whole port. PB6 and PB7 are the
; crystal pins on this board.
;
; The three routines keep every register and SREG; mp0 may name any of r16
; to r31. The stack must be set up before the first call.
;
; This file is read field by field: a comma may only stand in an
; instruction whose mnemonic is ORI STS LDS OUT LDI or IN written in upper
; case; comments hold no comma; a label stands on its own line.

; Clock in MHz; the waits scale with it (4 to 20 MHz).
.equ LCD_CLOCK_MHZ = 16
; Rounds of the 4-cycle loop in lcd_wait_50us; 11 cycles go to call and
; register saving.
.equ LCD_LOOPS_50US = (50*LCD_CLOCK_MHZ-11)/4

; Power-on set-up: 4-bit interface with the datasheet's reset sequence for
; a controller in an unknown state; two lines of 5x8 dots; display on
; without cursor; cleared; writes move right.
lcd_setup:
    PUSH r17
    PUSH r19
    IN r17,SREG
    PUSH r17
    PUSH mp0

    IN r17,DDRB
    ORI r17,0x3F
    OUT DDRB,r17
    LDI r17,0x00
    OUT PORTB,r17

; Over 40 ms after the supply passes 2.7 V before the first access.
 