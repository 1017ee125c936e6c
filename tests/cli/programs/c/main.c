/* Loads the glyphs of glyphs.h (written by glimmerset-cli code --form c)
 * and shows characters 0 to 7 on line 1. */
#include "glyphs.h"
#include "lcd4.h"

int main(void)
{
    lcd_init();
    glimmerset_load_glyphs(lcd_command, lcd_data);
    for (uint8_t code = 0; code < 8; code++)
        lcd_data(code);
    for (;;) {
    }
}
