// Shows the eight glyphs of glyphs.h (glimmerset-cli code --form arduino)
// on line 1 of a 16x2 LCD.
#include <LiquidCrystal.h>

#include "glyphs.h"

// rs, enable, d4, d5, d6, d7
#ifndef LCD_PINS
#define LCD_PINS 12, 11, 5, 4, 3, 2
#endif
LiquidCrystal lcd(LCD_PINS);

void setup() {
    lcd.begin(16, 2);
    loadGlyphs(lcd);
    for (byte code = 0; code < 8; code++)
        lcd.write(byte(code));
}

void loop() {}
