/* A minimal HD44780 driver: 4-bit interface, write only (RW tied low), the
 * whole display on one port. */
#ifndef LCD_H
#define LCD_H

#include <stdint.h>

void lcd_init(void);
/* Each waits until the controller has carried the byte out. */
void lcd_command(uint8_t command);
void lcd_data(uint8_t data);

#endif
