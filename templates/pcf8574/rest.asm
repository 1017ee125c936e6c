
; Glimmerset HD44780 driver over a PCF8574 I2C backpack for the code
; above: lcd_setup lcd_fc lcd_ch.
;
; Target: ATmega328P with a 16 MHz crystal; the LCD in 4-bit mode behind
; the common backpack's mapping of the expander's pins:
;   P0 RS   P1 RW   P2 E   P3 backlight   P4 P5 P6 P7 to D4 D5 D6 D7
; RW stays low: the driver only writes. The chip's TWI is the I2C master;
; the driver owns it and leaves the ports alone. Only RCALL and RJMP are
; used so the code fits the chips without CALL and JMP.
;
; The three routines keep every register and SREG; mp0 may name any of r16
; to r31. The stack must be set up before the first call.
;
; This file is read field by field: a comma may only stand in an
; instruction whose mnemonic is ORI STS LDS OUT LDI or IN written in upper
; case; comments hold no comma; a label stands on its own line.

; Clock in MHz; the waits and the I2C clock scale with it (1 to 20 MHz).
.equ LCD_CLOCK_MHZ = 16
; The backpack's 7-bit I2C address.
.equ LCD_I2C_ADDRESS = 0x27

; The expander's pins for RS and E and the backlight; data on P4 to P7.
.equ LCD_RS = 0x01
.equ LCD_E = 0x04
.equ LCD_BACKLIGHT = 0x08

; TWBR for SCL = F_CPU / (16 + 2 TWBR) with the prescaler at 1: rounded up
; so SCL stays at or under the PCF8574's 100 kHz. At least 10 as the
; older megas ask in master mode: 28 kHz at 1 MHz.
.if (LCD_CLOCK_MHZ*10-16+1)/2 < 10
.equ LCD_TWI_BITRATE = 10
.else
.equ LCD_TWI_BITRATE = (LCD_CLOCK_MHZ*10-16+1)/2
.endif

; Rounds of the 4-cycle loop in lcd_wait_50us; 11 cycles go to call and
; register saving. Rounded up so the wait is never short.
.equ LCD_LOOPS_50US = (50*LCD_CLOCK_MHZ-11+3)/4

; Every byte for the expander is one I2C transfer of nine SCL clocks: 90 us
; at 100 kHz or more at a slower clock. Between the end of one access and
; the next rise of E lie a STOP and a START and three bytes: more than the
; 37 us an access takes (120 us on the slower clones) so only the power-on
; reset and clear and home need waits of their own.

; Power-on set-up: 4-bit interface with the datasheet's reset sequence for
; a controller in an unknown state; two lines of 5x8 dots; display on
; without cursor; cleared; writes move right; backlight on.
lcd_setup:
    PUSH r17
    PUSH r19
    PUSH r20
    IN r17,SREG
    PUSH r17
    PUSH mp0

    LDI r17,LCD_TWI_BITRATE
    RCALL lcd_twi_setup

; The expander comes up with every pin high: E and the rest low at once
; and the backlight on.
    RCALL lcd_twi_begin
    LDI r17,LCD_BACKLIGHT
    RCALL lcd_twi_send
    RCALL lcd_twi_end

; Over 40 ms after the supply passes 2.7 V before the first access.
    LDI r19,50
    RCALL lcd_wait_ms

; Function set to 8 bits three times; only the high nibble is wired.
    CLT
    LDI r20,0x30
    RCALL lcd_nibble_rs
    LDI r19,5
    RCALL lcd_wait_ms
    LDI r20,0x30
    RCALL lcd_nibble_rs
    LDI r20,0x30
    RCALL lcd_nibble_rs

; Function set to 4 bits: from here on every byte goes as two nibbles.
    LDI r20,0x20
    RCALL lcd_nibble_rs

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
    POP r20
    POP r19
    POP r17
    RET

; Sends the instruction byte in mp0 and waits until the controller has
; carried it out: 1.52 ms for clear and home by the datasheet and 4.9 ms
; on the slower clones; the rest are done before the next can follow.
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

; Sends the data byte in mp0 to the address last set (CGRAM or DDRAM).
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

    POP r17
    OUT SREG,r17
    POP r18
    POP r17
    RET

; Sends the byte in r18 as two nibbles with the high one first; RS comes
; from the T flag. Changes r17.
lcd_send:
    PUSH r20
    PUSH r18
    POP r20
    RCALL lcd_nibble_high
; The low nibble swapped up.
    PUSH r18
    POP r20
    SWAP r20
    RCALL lcd_nibble_high
    POP r20
    RET

; Strobes the nibble in r20 bits 4 to 7 with RS from the T flag and the
; backlight on; bits 0 to 3 are shifted out first. Changes r17 and r20.
lcd_nibble_high:
    LSR r20
    LSR r20
    LSR r20
    LSR r20
    SWAP r20
lcd_nibble_rs:
    ORI r20,LCD_BACKLIGHT
    BRTC lcd_nibble
    ORI r20,LCD_RS

; Strobes r20 into the controller in one transfer: the lines set with E
; low; E high; E low again. So RS and the data are set a byte before E
; rises and held a byte after it falls; E stays high for a byte.
lcd_nibble:
    RCALL lcd_twi_begin
    PUSH r20
    POP r17
    RCALL lcd_twi_send
    PUSH r20
    POP r17
    ORI r17,LCD_E
    RCALL lcd_twi_send
    PUSH r20
    POP r17
    RCALL lcd_twi_send
    RJMP lcd_twi_end

; The TWI as I2C master. The older megas have its registers in the I/O
; space and the newer ones only in memory: OUT and IN or STS and LDS.

; Sets SCL from TWBR in r17 with the prescaler at 1.
lcd_twi_setup:
.if TWBR < 0x40
    OUT TWBR,r17
.else
    STS TWBR,r17
.endif
    LDI r17,0
.if TWSR < 0x40
    OUT TWSR,r17
.else
    STS TWSR,r17
.endif
    RET

; A START and the backpack's address with R/W low for writing. Changes r17.
lcd_twi_begin:
    LDI r17,(1<<TWINT)|(1<<TWSTA)|(1<<TWEN)
    RCALL lcd_twi_go
    LDI r17,LCD_I2C_ADDRESS*2

; Sends the byte in r17 and waits until it is out. Changes r17.
lcd_twi_send:
.if TWDR < 0x40
    OUT TWDR,r17
.else
    STS TWDR,r17
.endif
    LDI r17,(1<<TWINT)|(1<<TWEN)

; Has the TWI do what the TWCR bits in r17 ask and waits for TWINT.
lcd_twi_go:
    RCALL lcd_twi_control
lcd_twi_wait:
    RCALL lcd_twi_status
; TWINT is bit 7: the sign.
    TST r17
    BRPL lcd_twi_wait
    RET

; A STOP; waits until it is on the bus (TWSTO clear again). Changes r17.
lcd_twi_end:
    LDI r17,(1<<TWINT)|(1<<TWSTO)|(1<<TWEN)
    RCALL lcd_twi_control
lcd_twi_end_wait:
    RCALL lcd_twi_status
; TWSTO is bit 4: to bit 0 and out into carry.
    SWAP r17
    LSR r17
    BRCS lcd_twi_end_wait
    RET

; Writes r17 to TWCR.
lcd_twi_control:
.if TWCR < 0x40
    OUT TWCR,r17
.else
    STS TWCR,r17
.endif
    RET

; Reads TWCR into r17.
lcd_twi_status:
.if TWCR < 0x40
    IN r17,TWCR
.else
    LDS r17,TWCR
.endif
    RET

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
