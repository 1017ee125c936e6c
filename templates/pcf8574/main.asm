; Glimmerset test program: shows the eight glyphs of LCD_char on line 1.
;
; Target: ATmega328P with a 16 MHz crystal; HD44780 character LCD with a
; PCF8574 I2C backpack on the chip's TWI. It runs unchanged on the ATmega8
; 16 32 48 88 168 and 328P at 1 to 20 MHz: name the chip's device file in
; the .include line below and its clock in LCD_CLOCK_MHZ at the top of
; rest.asm. Wiring:
;   backpack SDA  to  the chip's SDA (PC4 on the ATmega8 48 88 168 328P;
;                     PC1 on the ATmega16 and 32)
;   backpack SCL  to  the chip's SCL (PC5 on the ATmega8 48 88 168 328P;
;                     PC0 on the ATmega16 and 32)
;   backpack VCC and GND  to  5 V and ground
;   SDA and SCL pulled up to 5 V (most backpacks carry the resistors)
; The backpack's address is LCD_I2C_ADDRESS at the top of rest.asm: 0x27
; for a PCF8574 with A0 to A2 open and 0x3F for a PCF8574A.
; Glimmerset pastes the LCD_char subroutine after this file and rest.asm
; after that. This file is read field by field: a comma may only stand in
; an instruction whose mnemonic is ORI STS LDS OUT LDI or IN written in
; upper case; comments hold no comma; a label stands on its own line.

.include "m328Pdef.inc"

; The register LCD_char loads; any of r16 to r31 would do.
.def mp0 = r16

.cseg
.org 0x0000
    RJMP reset

.org INT_VECTORS_SIZE
reset:
    LDI mp0,LOW(RAMEND)
    OUT SPL,mp0
; Chips with 256 bytes of RAM or less have no high byte to set.
.ifdef SPH
    LDI mp0,HIGH(RAMEND)
    OUT SPH,mp0
.endif

    RCALL lcd_setup
    RCALL LCD_char

; LCD_char leaves the controller addressing CGRAM: without a DDRAM address
; the characters below would overwrite the glyphs.
    LDI mp0,0x80
    RCALL lcd_fc

; Characters 0 to 7 at line 1 from column 1. Line 2 stays blank.
    LDI mp0,0
    RCALL lcd_ch
    LDI mp0,1
    RCALL lcd_ch
    LDI mp0,2
    RCALL lcd_ch
    LDI mp0,3
    RCALL lcd_ch
    LDI mp0,4
    RCALL lcd_ch
    LDI mp0,5
    RCALL lcd_ch
    LDI mp0,6
    RCALL lcd_ch
    LDI mp0,7
    RCALL lcd_ch

; Never falls through into LCD_char below.
main_loop:
    RJMP main_loop

