// Eight custom characters for an HD44780 LCD, made with Glimmerset, for
// the LiquidCrystal and LiquidCrystal_I2C libraries.
//
// Save it as glyphs.h beside your sketch and #include "glyphs.h" after the
// library's header. In setup(), after lcd.begin() (lcd.init() for some
// LiquidCrystal_I2C versions), call loadGlyphs(lcd): it copies each glyph
// from flash and hands it to lcd.createChar as characters 0 to 7, then
// calls lcd.setCursor(0, 0), since createChar leaves the controller
// writing into its character memory and what you print next would
// change a glyph instead of showing. Print a glyph with lcd.write(byte(0))
// to lcd.write(byte(7)): a plain lcd.write(0) does not compile, and
// code 0 can't stand in a string for lcd.print.
// Takes 80 bytes of flash for the rows and their table, and 8 bytes of
// stack while loading.
#pragma once

#include <Arduino.h>
#include <avr/pgmspace.h>

// 0 "Arrow"
const byte glyphArrow[8] PROGMEM = {
    0b00100, // ..#..
    0b01000, // .#...
    0b11111, // #####
    0b01000, // .#...
    0b00100, // ..#..
    0b00000, // .....
    0b00000, // .....
    0b00000, // .....
};

// 1 "Heart"
const byte glyphHeart[8] PROGMEM = {
    0b00000, // .....
    0b01010, // .#.#.
    0b11111, // #####
    0b11111, // #####
    0b01110, // .###.
    0b00100, // ..#..
    0b00000, // .....
    0b00000, // .....
};

// 2 "Bell"
const byte glyphBell[8] PROGMEM = {
    0b00100, // ..#..
    0b01110, // .###.
    0b01110, // .###.
    0b01110, // .###.
    0b11111, // #####
    0b00000, // .....
    0b00100, // ..#..
    0b00000, // .....
};

// 3 "Degree"
const byte glyphDegree[8] PROGMEM = {
    0b01100, // .##..
    0b10010, // #..#.
    0b10010, // #..#.
    0b01100, // .##..
    0b00000, // .....
    0b00000, // .....
    0b00000, // .....
    0b00000, // .....
};

// 4 "Battery"
const byte glyphBattery[8] PROGMEM = {
    0b01110, // .###.
    0b11011, // ##.##
    0b10001, // #...#
    0b10001, // #...#
    0b11111, // #####
    0b11111, // #####
    0b11111, // #####
    0b00000, // .....
};

// 5 "Smile"
const byte glyphSmile[8] PROGMEM = {
    0b00000, // .....
    0b01010, // .#.#.
    0b01010, // .#.#.
    0b00000, // .....
    0b10001, // #...#
    0b01110, // .###.
    0b00000, // .....
    0b00000, // .....
};

// 6 "Note"
const byte glyphNote[8] PROGMEM = {
    0b00010, // ...#.
    0b00011, // ...##
    0b00010, // ...#.
    0b00010, // ...#.
    0b01110, // .###.
    0b11110, // ####.
    0b01100, // .##..
    0b00000, // .....
};

// 7 "Lock"
const byte glyphLock[8] PROGMEM = {
    0b01110, // .###.
    0b10001, // #...#
    0b10001, // #...#
    0b11111, // #####
    0b11011, // ##.##
    0b11011, // ##.##
    0b11111, // #####
    0b00000, // .....
};

const byte *const glyphTable[8] PROGMEM = {
    glyphArrow,
    glyphHeart,
    glyphBell,
    glyphDegree,
    glyphBattery,
    glyphSmile,
    glyphNote,
    glyphLock,
};

template <typename Lcd>
void loadGlyphs(Lcd &lcd) {
    for (byte code = 0; code < 8; code++) {
        byte rows[8];
        memcpy_P(rows, (const byte *)pgm_read_word(&glyphTable[code]), sizeof rows);
        lcd.createChar(code, rows);
    }
    lcd.setCursor(0, 0);
}
