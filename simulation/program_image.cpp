#include "program_image.h"

extern "C" {
#include <avr/avr_mcu_section.h>
#include <sim_hex.h>
}

#include <elf.h>

#include <bit>
#include <cstring>
#include <fstream>

namespace glimmerset {

namespace {

// avr-gcc's address spaces, as its linker scripts and objcopy lay them out.
constexpr std::uint32_t kRamImage = 0x800000;
constexpr std::uint32_t kEepromImage = 0x810000;
constexpr std::uint32_t kFuseImage = 0x820000;
constexpr std::size_t kMaxElfBytes = 64u << 20;

// A header or table read from the file, or nothing when it lies outside.
template <typename T> bool readAt(const std::vector<char> &file, std::uint64_t offset, T &value) {
    if (offset > file.size() || file.size() - offset < sizeof value)
        return false;
    std::memcpy(&value, file.data() + offset, sizeof value);
    return true;
}

void readMmcu(const std::uint8_t *tags, std::size_t size, ProgramImage &image) {
    for (std::size_t at = 0; at + 2 <= size;) {
        const std::uint8_t tag = tags[at];
        const std::size_t length = tags[at + 1];
        const std::uint8_t *value = tags + at + 2;
        if (at + 2 + length > size)
            break;
        if (tag == AVR_MMCU_TAG_NAME)
            image.mcu.assign(reinterpret_cast<const char *>(value),
                             strnlen(reinterpret_cast<const char *>(value), length));
        else if (tag == AVR_MMCU_TAG_FREQUENCY && length >= 4)
            image.clockHz =
                value[0] | value[1] << 8 | value[2] << 16 | std::uint32_t(value[3]) << 24;
        at += 2 + length;
    }
}

void place(ProgramImage &image, std::uint32_t address, const char *bytes, std::size_t size) {
    if (size == 0)
        return;
    const auto *begin = reinterpret_cast<const std::uint8_t *>(bytes);
    if (address < kRamImage) {
        image.flash.emplace_back(address, std::vector<std::uint8_t>(begin, begin + size));
    } else if (address >= kEepromImage && address < kFuseImage) {
        const std::size_t offset = address - kEepromImage;
        if (image.eeprom.size() < offset + size)
            image.eeprom.resize(offset + size, 0xFF);
        std::memcpy(image.eeprom.data() + offset, begin, size);
    }
}

} // namespace

bool readIntelHex(const std::string &path, ProgramImage &image, std::string &error) {
    ihex_chunk_p chunks = nullptr;
    const int count = read_ihex_chunks(path.c_str(), &chunks);
    if (count <= 0) {
        error = "can't read " + path + " as Intel hex";
        return false;
    }
    for (int i = 0; i < count; ++i)
        // Addresses from 0x800000 up are simavr's RAM and EEPROM images.
        if (chunks[i].baseaddr < kRamImage)
            place(image, chunks[i].baseaddr, reinterpret_cast<const char *>(chunks[i].data),
                  chunks[i].size);
    free_ihex_chunks(chunks);
    return true;
}

bool readAvrElf(const std::string &path, ProgramImage &image, std::string &error) {
    static_assert(std::endian::native == std::endian::little, "ELF32 LSB read by memcpy");
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    const std::streamoff size = in ? std::streamoff(in.tellg()) : -1;
    std::vector<char> file(size > 0 && std::size_t(size) <= kMaxElfBytes ? std::size_t(size) : 0);
    in.seekg(0);
    Elf32_Ehdr header;
    if (file.empty() || !in.read(file.data(), size) || !readAt(file, 0, header) ||
        std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 ||
        header.e_ident[EI_CLASS] != ELFCLASS32 || header.e_ident[EI_DATA] != ELFDATA2LSB ||
        header.e_machine != EM_AVR) {
        error = "can't read " + path + " as an AVR ELF file";
        return false;
    }

    // The .mmcu section, found by name, is read and kept out of the flash.
    std::uint64_t mmcuBegin = 0, mmcuEnd = 0;
    Elf32_Shdr names;
    if (header.e_shentsize == sizeof(Elf32_Shdr) &&
        readAt(file, header.e_shoff + std::uint64_t(header.e_shstrndx) * sizeof names, names))
        for (unsigned i = 0; i < header.e_shnum; ++i) {
            Elf32_Shdr section;
            char name[6] = {};
            if (!readAt(file, header.e_shoff + std::uint64_t(i) * sizeof section, section) ||
                !readAt(file, std::uint64_t(names.sh_offset) + section.sh_name, name) ||
                std::memcmp(name, ".mmcu", sizeof name) != 0 || section.sh_type != SHT_PROGBITS ||
                std::uint64_t(section.sh_offset) + section.sh_size > file.size())
                continue;
            mmcuBegin = section.sh_offset;
            mmcuEnd = mmcuBegin + section.sh_size;
            readMmcu(reinterpret_cast<const std::uint8_t *>(file.data() + mmcuBegin),
                     section.sh_size, image);
        }

    for (unsigned i = 0; header.e_phentsize == sizeof(Elf32_Phdr) && i < header.e_phnum; ++i) {
        Elf32_Phdr segment;
        if (!readAt(file, header.e_phoff + std::uint64_t(i) * sizeof segment, segment) ||
            segment.p_type != PT_LOAD)
            continue;
        const std::uint64_t begin = segment.p_offset;
        const std::uint64_t end = begin + segment.p_filesz;
        if (end > file.size()) {
            error = path + " is cut short: a segment runs past its end";
            return false;
        }
        // Up to the .mmcu section and after it.
        const std::uint64_t cut =
            mmcuBegin >= begin && mmcuEnd <= end && mmcuEnd > mmcuBegin ? mmcuBegin : end;
        place(image, segment.p_paddr, file.data() + begin, cut - begin);
        if (cut != end)
            place(image, std::uint32_t(segment.p_paddr + (mmcuEnd - begin)), file.data() + mmcuEnd,
                  end - mmcuEnd);
    }
    return true;
}

} // namespace glimmerset
