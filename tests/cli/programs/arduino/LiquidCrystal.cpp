#include "LiquidCrystal.h"

LiquidCrystal::LiquidCrystal(uint8_t rs, uint8_t enable, uint8_t d4, uint8_t d5, uint8_t d6,
                             uint8_t d7)
    : rs_(rs), enable_(enable), data_{d4, d5, d6, d7} {}

void LiquidCrystal::begin(uint8_t cols, uint8_t rows) {
    (void)cols;
    pinMode(rs_, OUTPUT);
    pinMode(enable_, OUTPUT);
    for (uint8_t pin : data_)
        pinMode(pin, OUTPUT);
    digitalWrite(rs_, LOW);
    digitalWrite(enable_, LOW);
    delay(50); // over 40 ms after power-on
    // The datasheet's reset sequence, then 4 bits.
    writeNibble(0x03);
    delay(5);
    writeNibble(0x03);
    delayMicroseconds(150);
    writeNibble(0x03);
    delayMicroseconds(150);
    writeNibble(0x02);
    command(rows > 1 ? 0x28 : 0x20);
    command(0x0C); // display on, no cursor
    clear();
    command(0x06); // left to right
}

void LiquidCrystal::clear() {
    command(0x01);
    delayMicroseconds(2000);
}

void LiquidCrystal::setCursor(uint8_t col, uint8_t row) {
    command(0x80 | (col + (row ? 0x40 : 0x00)));
}

void LiquidCrystal::createChar(uint8_t location, uint8_t charmap[]) {
    command(0x40 | (location & 0x07) << 3);
    for (uint8_t i = 0; i < 8; i++)
        write(charmap[i]);
}

void LiquidCrystal::command(uint8_t value) { send(value, LOW); }

size_t LiquidCrystal::write(uint8_t value) {
    send(value, HIGH);
    return 1;
}

void LiquidCrystal::send(uint8_t value, uint8_t mode) {
    digitalWrite(rs_, mode);
    writeNibble(value >> 4);
    writeNibble(value);
}

void LiquidCrystal::writeNibble(uint8_t nibble) {
    for (uint8_t i = 0; i < 4; i++)
        digitalWrite(data_[i], (nibble >> i) & 0x01);
    pulseEnable();
}

void LiquidCrystal::pulseEnable() {
    digitalWrite(enable_, HIGH);
    delayMicroseconds(1); // over 450 ns
    digitalWrite(enable_, LOW);
    delayMicroseconds(100); // over the 37 us an access takes
}
