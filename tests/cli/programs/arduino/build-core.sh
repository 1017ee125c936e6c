#!/bin/sh
# Builds the part of Arduino's core that a sketch with an LCD needs, for an
# Uno, into OUT/libcore.a with avr-gcc alone and the flags of the core's
# platform.txt (link-time optimisation left out).
# Usage: build-core.sh ARDUINO_AVR_DIR OUT
set -eu
avr=$1
out=$2
mkdir -p "$out/obj"
flags="-c -g -Os -w -ffunction-sections -fdata-sections -mmcu=atmega328p -DF_CPU=16000000L
       -DARDUINO=10807 -DARDUINO_AVR_UNO -DARDUINO_ARCH_AVR
       -I$avr/cores/arduino -I$avr/variants/standard"
for name in main.cpp hooks.c wiring.c wiring_digital.c Print.cpp abi.cpp new.cpp; do
    src="$avr/cores/arduino/$name"
    obj="$out/obj/$(basename "$src").o"
    case "$src" in
    *.c) avr-gcc $flags -std=gnu11 "$src" -o "$obj" ;;
    *.cpp) avr-g++ $flags -std=gnu++11 -fpermissive -fno-exceptions -fno-threadsafe-statics "$src" -o "$obj" ;;
    esac
done
rm -f "$out/libcore.a"
avr-ar rcs "$out/libcore.a" "$out"/obj/*.o
