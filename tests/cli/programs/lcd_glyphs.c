/* A small HD44780 driver in C, 4-bit bus, RW tied low, waits instead of the
 * busy flag: the set from glyphs.h into CGRAM, then text and the eight
 * glyphs at LCD_LINE_ADDRESS (0x40: line 2).
 *
 *   PB0..PB3  D4..D7      PB4  RS      PB5  E
 *
 * avr-gcc -mmcu=atmega328p -DF_CPU=16000000UL -Os -I/usr/include/simavr
 */
#include <avr/io.h>
#include <avr/pgmspace.h>
#include <util/delay.h>

#include <avr/avr_mcu_section.h>

#include "glyphs.h" /* const uint8_t glyphs[64] PROGMEM, bit 4 the leftmost dot */

AVR_MCU(F_CPU, "atmega328p");

#ifndef LCD_LINE_ADDRESS
#define LCD_LINE_ADDRESS 0x40
#endif

#define LCD_PORT PORTB
#define LCD_DDR DDRB
#define LCD_RS PB4
#define LCD_E PB5
#define LCD_DATA_MASK 0x0F

#define LCD_CLEAR 0x01
#define LCD_ENTRY_INCREMENT 0x06
#define LCD_DISPLAY_ON 0x0C
#define LCD_FUNCTION_4BIT_2LINES 0x28
#define LCD_SET_CGRAM 0x40
#define LCD_SET_DDRAM 0x80

static void lcd_pulse_enable(void)
{
    LCD_PORT |= _BV(LCD_E);
    _delay_us(1);
    LCD_PORT &= ~_BV(LCD_E);
    _delay_us(1);
}

static void lcd_write_nibble(uint8_t nibble)
{
    LCD_PORT = (LCD_PORT & ~LCD_DATA_MASK) | (nibble & LCD_DATA_MASK);
    lcd_pulse_enable();
}

static void lcd_write(uint8_t value, uint8_t rs)
{
    if (rs)
        LCD_PORT |= _BV(LCD_RS);
    else
        LCD_PORT &= ~_BV(LCD_RS);
    lcd_write_nibble(value >> 4);
    lcd_write_nibble(value);
    _delay_us(50); /* 37 us, and the slower clones */
}

static void lcd_command(uint8_t command)
{
    lcd_write(command, 0);
    if (command == LCD_CLEAR)
        _delay_ms(2);
}

static void lcd_putc(char c)
{
    lcd_write((uint8_t)c, 1);
}

static void lcd_puts(const char *text)
{
    while (*text)
        lcd_putc(*text++);
}

static void lcd_init(void)
{
    LCD_DDR |= LCD_DATA_MASK | _BV(LCD_RS) | _BV(LCD_E);
    LCD_PORT &= ~(LCD_DATA_MASK | _BV(LCD_RS) | _BV(LCD_E));
    _delay_ms(50); /* power on */

    /* The datasheet's reset by instruction, then 4 bits. */
    lcd_write_nibble(0x03);
    _delay_ms(5);
    lcd_write_nibble(0x03);
    _delay_us(150);
    lcd_write_nibble(0x03);
    _delay_us(150);
    lcd_write_nibble(0x02);
    _delay_us(150);

    lcd_command(LCD_FUNCTION_4BIT_2LINES);
    lcd_command(LCD_DISPLAY_ON);
    lcd_command(LCD_CLEAR);
    lcd_command(LCD_ENTRY_INCREMENT);
}

/* Eight rows from program memory; the address counter moves on by itself. */
static void lcd_create_char(uint8_t location, const uint8_t *rows)
{
    lcd_command(LCD_SET_CGRAM | (location & 7) << 3);
    for (uint8_t row = 0; row < 8; row++)
        lcd_putc(pgm_read_byte(&rows[row]));
}

int main(void)
{
    lcd_init();
    for (uint8_t g = 0; g < 8; g++)
        lcd_create_char(g, &glyphs[8 * g]);

    lcd_command(LCD_SET_DDRAM | LCD_LINE_ADDRESS);
    lcd_puts("Hi ");
    for (uint8_t g = 0; g < 8; g++)
        lcd_putc(g);

#ifdef LCD_COUNT_TO
    /* Text and a counter on line 1, the counter moving on every 2 ms. */
    for (uint16_t n = 0; n <= LCD_COUNT_TO; n++) {
        lcd_command(LCD_SET_DDRAM | 0x00);
        lcd_puts("Hi ");
        uint16_t digits = n;
        char text[6] = "00000";
        for (int8_t i = 4; i >= 0; i--, digits /= 10)
            text[i] = (char)('0' + digits % 10);
        lcd_puts(text);
        lcd_putc((char)0xDF);
        lcd_putc('C');
        _delay_ms(2);
    }
#endif
#ifdef LCD_BAR_GRAPH
    /* A bar graph in glyph 0 at the end of line 1: one more column lit
     * every 100 ms, the glyph redefined each time. */
    for (uint8_t lit = 0; lit <= 5; lit++) {
        lcd_command(LCD_SET_CGRAM);
        for (uint8_t row = 0; row < 8; row++)
            lcd_putc((char)((0x1F << (5 - lit)) & 0x1F));
        lcd_command(LCD_SET_DDRAM | 0x0F);
        lcd_putc(0);
        _delay_ms(100);
    }
#endif
#ifdef LCD_DISPLAY_CONTROL
    lcd_command(LCD_DISPLAY_CONTROL);
#endif

    for (;;) {
    }
}
