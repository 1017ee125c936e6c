
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
; crystal pins on the ATmega8 and the ATmega48 to 328P. Only RCALL and
; RJMP are used so the code fits the chips without CALL and JMP.
;
; The three routines keep every register and SREG; mp0 may name any of r16
; to r31. The stack must be set up before the first call.
;
; This file is read field by field: a comma may only stand in an
; instruction whose mnemonic is ORI STS LDS OUT LDI or IN written in upper
; case; comments hold no comma; a label stands on its own line.

; Clock in MHz; the waits scale with it (1 to 20 MHz).
.equ LCD_CLOCK_MHZ = 16
; Rounds of the 4-cycle loop in lcd_wait_50us; 11 cycles go to call and
; register saving. Rounded up so the wait is never short.
.equ LCD_LOOPS_50US = (50*LCD_CLOCK_MHZ-11+3)/4

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
    LDI r19,50
    RCALL lcd_wait_ms

; Function set to 8 bits three times; only the high nibble is wired.
    LDI r17,0x03
    RCALL lcd_nibble
    LDI r19,5
    RCALL lcd_wait_ms
    LDI r17,0x03
    RCALL lcd_nibble
    RCALL lcd_wait_access
    LDI r17,0x03
    RCALL lcd_nibble
    RCALL lcd_wait_access

; Function set to 4 bits: from here on every byte goes as two nibbles.
    LDI r17,0x02
    RCALL lcd_nibble
    RCALL lcd_wait_access

; Function set: 4 bits and two lines of 5x8 dots.
    LDI mp0,0x28
    RCALL lcd_fc
; Display off.
    LDI mp0,0x08
    RCALL lcd_fc
; Clear display.
    LDI mp0,0x01
    RCALL lcd_fc
; Entry mode: the address goes up after each write and the display stays.
    LDI mp0,0x06
    RCALL lcd_fc
; Display on without cursor or blinking.
    LDI mp0,0x0C
    RCALL lcd_fc

    POP mp0
    POP r17
    OUT SREG,r17
    POP r19
    POP r17
    RET

; Sends the instruction byte in mp0 and waits until the controller has
; carried it out: 1.52 ms for clear and home and 37 us for the rest by the
; datasheet; the waits allow for the slower clones' 4.9 ms and 120 us.
lcd_fc:
    PUSH r17
    PUSH r18
    PUSH r19
; Copy the byte first: mp0 may be one of the registers used below.
    PUSH mp0
    POP r18
    IN r17,SREG
    PUSH r17

; T clear: RS low selects the instruction register.
    CLT
    RCALL lcd_send
    RCALL lcd_wait_access
; Clear is 0x01 and home 0x02 or 0x03: nothing left after two shifts.
    LSR r18
    LSR r18
    BRNE lcd_fc_done
    LDI r19,5
    RCALL lcd_wait_ms
lcd_fc_done:
    POP r17
    OUT SREG,r17
    POP r19
    POP r18
    POP r17
    RET

; Sends the data byte in mp0 to the address last set (CGRAM or DDRAM) and
; waits the 37 us the write takes (120 us on the slower clones).
lcd_ch:
    PUSH r17
    PUSH r18
    PUSH mp0
    POP r18
    IN r17,SREG
    PUSH r17

; T set: RS high selects the data register.
    SET
    RCALL lcd_send
    RCALL lcd_wait_access

    POP r17
    OUT SREG,r17
    POP r18
    POP r17
    RET

; Sends the byte in r18 as two nibbles with the high one first; RS comes
; from the T flag. Changes r17.
lcd_send:
    PUSH r18
    POP r17
    LSR r17
    LSR r17
    LSR r17
    LSR r17
    RCALL lcd_nibble_rs
    PUSH r18
    POP r17
    SWAP r17
    LSR r17
    LSR r17
    LSR r17
    LSR r17
    RCALL lcd_nibble_rs
    RET

; Strobes the nibble in r17 bits 0 to 3 with RS from the T flag.
lcd_nibble_rs:
    BRTC lcd_nibble
    ORI r17,0x10

; Strobes r17 bits 0 to 4 (data and RS) into the controller. Data and RS
; are set before E rises and held until after it falls; E stays high for
; 11 cycles (550 ns at 20 MHz; the controller needs 450 ns).
lcd_nibble:
    OUT PORTB,r17
    PUSH r17
    ORI r17,0x20
    OUT PORTB,r17
    NOP
    NOP
    NOP
    NOP
    NOP
    NOP
    NOP
    NOP
    POP r17
    OUT PORTB,r17
    RET

; Waits 150 us including the call: an access takes 120 us on the slower
; clones. The last wait returns to the caller.
lcd_wait_access:
    RCALL lcd_wait_50us
    RCALL lcd_wait_50us
    RJMP lcd_wait_50us

; Waits 50 us including the call.
lcd_wait_50us:
    PUSH r18
    LDI r18,LCD_LOOPS_50US
lcd_wait_50us_loop:
    NOP
    DEC r18
    BRNE lcd_wait_50us_loop
    POP r18
    RET

; Waits r19 milliseconds (1 to 255).
lcd_wait_ms:
    PUSH r19
    PUSH r20
lcd_wait_ms_outer:
    LDI r20,20
lcd_wait_ms_inner:
    RCALL lcd_wait_50us
    DEC r20
    BRNE lcd_wait_ms_inner
    DEC r19
    BRNE lcd_wait_ms_outer
    POP r20
    POP r19
    RET
