#include "simulation/program_image.h"

extern "C" {
#include <avr/avr_mcu_section.h>
}

#include <elf.h>

#include <bit>
#include <cstdio>
#include <cstring>
#include <fstream>

namespace glimmerset {

namespace {

// avr-gcc's RAM image, above the flash in its address spaces.
constexpr std::uint32_t kRamImage = 0x800000;
constexpr std::size_t kMaxElfBytes = 64u << 20;

// A header or table read from the file, or nothing when it lies outside.
template <typename T> bool readAt(std::string_view file, std::uint64_t offset, T &value) {
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

// avr-gcc's fuse, lock and signature images, which a simulation has no use for.
constexpr std::uint32_t kFuseImage = 0x820000;
constexpr std::uint32_t kFuseImageEnd = 0x860000;

// False for bytes in none of avr-gcc's address spaces.
bool place(ProgramImage &image, std::uint32_t address, const char *bytes, std::size_t size) {
    if (size == 0)
        return true;
    const auto *begin = reinterpret_cast<const std::uint8_t *>(bytes);
    if (address < kRamImage) {
        image.flash.emplace_back(address, std::vector<std::uint8_t>(begin, begin + size));
    } else if (address >= kEepromImage && address < kEepromImageEnd) {
        const std::size_t offset = address - kEepromImage;
        if (image.eeprom.size() < offset + size)
            image.eeprom.resize(offset + size, 0xFF);
        std::memcpy(image.eeprom.data() + offset, begin, size);
    } else if (address >= kEepromImage && !(address >= kFuseImage && address < kFuseImageEnd)) {
        return false;
    }
    return true;
}

} // namespace

bool readProgramBytes(const std::string &path, std::size_t maxBytes, std::string &bytes,
                      std::string &error) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    const std::streamoff size = in ? std::streamoff(in.tellg()) : -1;
    if (size < 0) {
        error = "can't read " + path;
        return false;
    }
    if (std::uint64_t(size) > maxBytes) {
        error = path + " has " + std::to_string(size) + " bytes, more than the " +
                std::to_string(maxBytes >> 20) + " MiB read for a program";
        return false;
    }
    bytes.resize(std::size_t(size));
    in.seekg(0);
    if (!in.read(bytes.data(), size)) {
        error = "can't read " + path;
        return false;
    }
    return true;
}

bool readAvrElf(const std::string &path, ProgramImage &image, std::string &error) {
    std::string file;
    return readProgramBytes(path, kMaxElfBytes, file, error) &&
           parseAvrElf(file, path, image, error);
}

bool parseAvrElf(std::string_view file, const std::string &path, ProgramImage &image,
                 std::string &error) {
    static_assert(std::endian::native == std::endian::little, "ELF32 LSB read by memcpy");
    Elf32_Ehdr header;
    if (!readAt(file, 0, header) || std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 ||
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

    // Segments may share the file's bytes; what they load together is held
    // to the file's cap, or 65535 of them could ask for terabytes.
    std::uint64_t loaded = 0;
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
        loaded += segment.p_filesz;
        if (loaded > kMaxElfBytes) {
            error =
                path + "'s segments load more than " + std::to_string(kMaxElfBytes >> 20) + " MiB";
            return false;
        }
        // Up to the .mmcu section and after it.
        const std::uint64_t cut =
            mmcuBegin >= begin && mmcuEnd <= end && mmcuEnd > mmcuBegin ? mmcuBegin : end;
        const std::uint32_t after = std::uint32_t(segment.p_paddr + (mmcuEnd - begin));
        if (!place(image, segment.p_paddr, file.data() + begin, cut - begin) ||
            (cut != end && !place(image, after, file.data() + mmcuEnd, end - mmcuEnd))) {
            char address[16];
            std::snprintf(address, sizeof address, "0x%X", unsigned(segment.p_paddr));
            error = path + " loads data at " + address + ", in none of avr-gcc's address spaces";
            return false;
        }
    }
    return true;
}

} // namespace glimmerset
