// A small stand-in for the LiquidCrystal library, with the calls of its
// documented API that a sketch uses to show custom characters: 4-bit
// interface, write only (RW tied low).
#pragma once

#include <Arduino.h>
#include <Print.h>

class LiquidCrystal : public Print {
public:
    LiquidCrystal(uint8_t rs, uint8_t enable, uint8_t d4, uint8_t d5, uint8_t d6, uint8_t d7);

    void begin(uint8_t cols, uint8_t rows);
    void clear();
    void setCursor(uint8_t col, uint8_t row);
    // Leaves the controller addressing CGRAM, as the library does.
    void createChar(uint8_t location, uint8_t charmap[]);
    void command(uint8_t value);
    virtual size_t write(uint8_t value);
    using Print::write;

private:
    void send(uint8_t value, uint8_t mode);
    void pulseEnable();
    void writeNibble(uint8_t nibble);

    uint8_t rs_, enable_;
    uint8_t data_[4];
};
