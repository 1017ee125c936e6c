// simavr alone in a bare QtCore program, as glimmerset-cli is one: an
// ATmega328P at 16 MHz, the hex and the cycles; nothing watching. The floor
// of verify_bench.

extern "C" {
#include <sim_avr.h>
#include <sim_hex.h>
}

#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: bare_simavr PROGRAM.hex CYCLES\n");
        return 2;
    }
    avr_t *avr = avr_make_mcu_by_name("atmega328p");
    avr_init(avr);
    avr->frequency = 16'000'000;
    ihex_chunk_p chunks = nullptr;
    const int count = read_ihex_chunks(argv[1], &chunks);
    for (int i = 0; i < count; ++i)
        if (chunks[i].baseaddr < 0x800000)
            avr_loadcode(avr, chunks[i].data, chunks[i].size, chunks[i].baseaddr);
    const unsigned long long cycles = std::strtoull(argv[2], nullptr, 10);
    while (avr->cycle < cycles)
        avr_run(avr);
    avr_terminate(avr);
    return 0;
}
