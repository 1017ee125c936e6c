#include "lcd.h"

#include <avr/io.h>
#include <util/delay.h>

/* D4 to D7 on bits 0 to 3, RS on 4, E on 5: B:0,1,2,3,4,5,low. */
#define LCD_PORT PORTB
#define LCD_DDR DDRB
#define LCD_DATA_MASK 0x0F
#define LCD_RS _BV(PB4)
#define LCD_E _BV(PB5)

static void lcd_nibble(uint8_t nibble)
{
    LCD_PORT = (LCD_PORT & ~LCD_DATA_MASK) | (nibble & LCD_DATA_MASK);
    LCD_PORT |= LCD_E;
    _delay_us(1); /* E high for 450 ns at least */
    LCD_PORT &= ~LCD_E;
    _delay_us(1); /* and an E cycle of 1 us */
}

static void lcd_byte(uint8_t value, uint8_t rs)
{
    if (rs)
        LCD_PORT |= LCD_RS;
    else
        LCD_PORT &= ~LCD_RS;
    lcd_nibble(value >> 4);
    lcd_nibble(value);
    _delay_us(50); /* 37 us by the datasheet */
}

void lcd_command(uint8_t command)
{
    lcd_byte(command, 0);
    if (command <= 0x03) /* clear and home take 1.52 ms */
        _delay_ms(2);
}

void lcd_data(uint8_t data)
{
    lcd_byte(data, 1);
}

void lcd_init(void)
{
    LCD_DDR |= LCD_DATA_MASK | LCD_RS | LCD_E;
    LCD_PORT &= ~(LCD_DATA_MASK | LCD_RS | LCD_E);
    _delay_ms(50); /* power on */
    /* The datasheet's reset sequence, then 4 bits. */
    lcd_nibble(0x03);
    _delay_ms(5);
    lcd_nibble(0x03);
    _delay_us(150);
    lcd_nibble(0x03);
    _delay_us(150);
    lcd_nibble(0x02);
    _delay_us(150);
    lcd_command(0x28); /* 4 bits, two lines, 5x8 dots */
    lcd_command(0x08); /* display off */
    lcd_command(0x01); /* clear */
    lcd_command(0x06); /* the address goes up after a write */
    lcd_command(0x0C); /* display on */
}
