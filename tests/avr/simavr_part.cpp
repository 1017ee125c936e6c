#include "simavr_part.h"

extern "C" {
#include <avr_ioport.h>
#include <hd44780.h>
#include <sim_avr.h>
#include <sim_hex.h>
}

#include <cstring>

namespace glimmerset::avrtest {

PartMemory runWithSimavrPart(const std::string &hexPath, std::uint64_t cycles) {
    PartMemory memory;
    avr_t *avr = avr_make_mcu_by_name("atmega328p");
    if (!avr)
        return memory;
    avr_init(avr);
    avr->log = LOG_ERROR;
    avr->frequency = 16'000'000;
    ihex_chunk_p chunks = nullptr;
    const int count = read_ihex_chunks(hexPath.c_str(), &chunks);
    for (int i = 0; i < count; ++i)
        if (chunks[i].baseaddr < 0x800000)
            avr_loadcode(avr, chunks[i].data, chunks[i].size, chunks[i].baseaddr);
    free_ihex_chunks(chunks);

    hd44780_t part;
    hd44780_init(avr, &part, 20, 2);
    const int partPins[] = {IRQ_HD44780_D4, IRQ_HD44780_D5, IRQ_HD44780_D6,
                            IRQ_HD44780_D7, IRQ_HD44780_RS, IRQ_HD44780_E};
    for (int bit = 0; bit < 6; ++bit)
        avr_connect_irq(avr_io_getirq(avr, AVR_IOCTL_IOPORT_GETIRQ('B'), bit),
                        part.irq + partPins[bit]);
    // Two milliseconds more, for the part's last access to land.
    while (avr->cycle < cycles + 32'000) {
        const int state = avr_run(avr);
        if (state == cpu_Done || state == cpu_Crashed)
            break;
    }
    // Debian's simavr 1.6 part keeps CGRAM address a at vram[64 + a].
    std::memcpy(memory.cgram.data(), part.vram + 64, memory.cgram.size());
    std::memcpy(memory.line1.data(), part.vram, memory.line1.size());
    avr_terminate(avr);
    return memory;
}

} // namespace glimmerset::avrtest
