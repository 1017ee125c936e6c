#include "simulation/intel_hex.h"
#include "simulation/program_image.h"

#include <gtest/gtest.h>

#include <elf.h>

#include <cstring>
#include <numeric>
#include <string>
#include <vector>

using namespace glimmerset;

namespace {

constexpr std::uint32_t kFlash = 128 * 1024; // an atmega128's

std::string hexByte(unsigned value) {
    static const char kDigits[] = "0123456789ABCDEF";
    return {kDigits[value >> 4 & 15], kDigits[value & 15]};
}

// One record as a tool writes it; length and checksum may be forced wrong.
std::string record(unsigned type, unsigned address, const std::vector<std::uint8_t> &data,
                   int length = -1, int checksumSkew = 0) {
    const unsigned count = length < 0 ? unsigned(data.size()) : unsigned(length);
    std::vector<std::uint8_t> bytes{std::uint8_t(count), std::uint8_t(address >> 8),
                                    std::uint8_t(address), std::uint8_t(type)};
    bytes.insert(bytes.end(), data.begin(), data.end());
    const unsigned sum = std::accumulate(bytes.begin(), bytes.end(), 0u);
    std::string line = ":";
    for (std::uint8_t b : bytes)
        line += hexByte(b);
    return line + hexByte((0x100 - sum + checksumSkew) & 0xFF) + "\n";
}

std::vector<std::uint8_t> counting(std::size_t size) {
    std::vector<std::uint8_t> bytes(size);
    std::iota(bytes.begin(), bytes.end(), std::uint8_t(0));
    return bytes;
}

const std::string kEof = ":00000001FF\n";
const std::string kCode = record(0, 0, counting(16));

std::string upper(unsigned address) {
    return record(4, 0, {std::uint8_t(address >> 8), std::uint8_t(address)});
}

// An avr-gcc style ELF: the code in one loaded segment, then .mmcu with
// the chip's name and clock; more segments copy the first's header.
std::string elfFile(std::uint32_t loadAddress, std::uint32_t codeSize, unsigned segments = 1,
                    std::uint32_t fileSizeSkew = 0) {
    const std::string mmcu("\x02\x04\x00\x24\xF4\x00\x01\x08"
                           "atmega8",
                           16);
    Elf32_Ehdr header{};
    std::memcpy(header.e_ident, ELFMAG, SELFMAG);
    header.e_ident[EI_CLASS] = ELFCLASS32;
    header.e_ident[EI_DATA] = ELFDATA2LSB;
    header.e_ident[EI_VERSION] = EV_CURRENT;
    header.e_type = ET_EXEC;
    header.e_machine = EM_AVR;
    header.e_ehsize = sizeof header;
    header.e_phentsize = sizeof(Elf32_Phdr);
    header.e_phnum = std::uint16_t(segments);
    header.e_phoff = sizeof header;
    header.e_shentsize = sizeof(Elf32_Shdr);
    const std::uint32_t code = sizeof header + segments * sizeof(Elf32_Phdr);
    const std::uint32_t names = code + codeSize + std::uint32_t(mmcu.size());
    const std::string nameTable = std::string("\0.mmcu\0.shstrtab\0", 17);
    header.e_shoff = names + std::uint32_t(nameTable.size());
    header.e_shnum = 3;
    header.e_shstrndx = 2;

    Elf32_Phdr segment{};
    segment.p_type = PT_LOAD;
    segment.p_offset = code;
    segment.p_paddr = segment.p_vaddr = loadAddress;
    segment.p_filesz = segment.p_memsz = codeSize + fileSizeSkew;
    Elf32_Shdr sections[3]{};
    sections[1].sh_name = 1;
    sections[1].sh_type = SHT_PROGBITS;
    sections[1].sh_offset = code + codeSize;
    sections[1].sh_size = std::uint32_t(mmcu.size());
    sections[2].sh_name = 7;
    sections[2].sh_type = SHT_STRTAB;
    sections[2].sh_offset = names;
    sections[2].sh_size = std::uint32_t(nameTable.size());

    std::string file(reinterpret_cast<const char *>(&header), sizeof header);
    for (unsigned i = 0; i < segments; ++i)
        file.append(reinterpret_cast<const char *>(&segment), sizeof segment);
    const auto bytes = counting(codeSize);
    file.append(bytes.begin(), bytes.end());
    file += mmcu + nameTable;
    file.append(reinterpret_cast<const char *>(sections), sizeof sections);
    return file;
}

struct HostileFile {
    const char *name;
    bool elf;
    std::string bytes;
    std::string error; // what the message holds; empty: read
    std::uint32_t flashAddress = 0, flashSize = 0, eepromSize = 0;
};

void PrintTo(const HostileFile &file, std::ostream *out) {
    *out << file.name;
}

class ProgramFileTest : public testing::TestWithParam<HostileFile> {};

TEST_P(ProgramFileTest, ReadsOrNamesTheFault) {
    const HostileFile &file = GetParam();
    ProgramImage image;
    std::string error;
    const bool read = file.elf ? parseAvrElf(file.bytes, "a.elf", image, error)
                               : parseIntelHex(file.bytes, kFlash, image, error);
    if (!file.error.empty()) {
        EXPECT_FALSE(read);
        EXPECT_NE(error.find(file.error), std::string::npos) << error;
        return;
    }
    ASSERT_TRUE(read) << error;
    std::size_t flash = 0;
    for (const auto &[address, bytes] : image.flash) {
        EXPECT_EQ(address, file.flashAddress);
        EXPECT_EQ(bytes, counting(bytes.size()));
        flash += bytes.size();
    }
    EXPECT_EQ(flash, file.flashSize);
    EXPECT_EQ(image.eeprom.size(), file.eepromSize);
    if (file.elf) {
        EXPECT_EQ(image.mcu, "atmega8");
        EXPECT_EQ(image.clockHz, 16'000'000u);
    }
}

// Forty segments on one 2 MiB stretch would load 80 MiB.
const std::string kBigElf = elfFile(0, 2 << 20, 40);

INSTANTIATE_TEST_SUITE_P(
    Hostile, ProgramFileTest,
    testing::Values(
        HostileFile{"Hex16", false, kCode + kEof, "", 0, 16},
        HostileFile{"Hex64", false, record(0, 0, counting(64)) + kEof, "", 0, 64},
        HostileFile{"Hex255", false, record(0, 0, counting(255)) + kEof, "", 0, 255},
        HostileFile{"LowerCaseCrLf", false,
                    ":10000000000102030405060708090a0b0c0d0e0f78\r\n:00000001ff\r\n\r\n", "", 0,
                    16},
        HostileFile{"ExtendedSegment", false, record(2, 0, {0x10, 0x00}) + kCode + kEof, "",
                    0x10000, 16},
        HostileFile{"ExtendedLinear", false, upper(1) + kCode + kEof, "", 0x10000, 16},
        HostileFile{"StartAddresses", false,
                    record(3, 0, {0, 0, 0, 0}) + kCode + record(5, 0, {0, 0, 0, 0}) + kEof, "", 0,
                    16},
        HostileFile{"EepromImage", false, upper(0x81) + kCode + kEof, "", 0, 0, 16},
        HostileFile{"BadChecksum", false, record(0, 0, counting(16), -1, 1) + kEof,
                    "line 1: the checksum is"},
        HostileFile{"Length255Holding16", false, record(0, 0, counting(16), 255) + kEof,
                    "line 1: the record's length byte says 255 data bytes, the line holds 16"},
        HostileFile{"LongerThanItsLine", false, record(0, 0, counting(15), 16) + kEof,
                    "line 1: the record's length byte says 16 data bytes, the line holds 15"},
        HostileFile{"EofFirst", false, kEof + kCode,
                    "line 2: a record after the end-of-file record of line 1"},
        HostileFile{"TwoEofs", false, kCode + kEof + kEof, "line 3: a record after"},
        HostileFile{"NoEof", false, kCode, "line 1: the file ends without the end-of-file"},
        HostileFile{"Empty", false, "", "line 1: the file ends without the end-of-file"},
        HostileFile{"DataAtFFFF0000", false, upper(0xFFFF) + kCode + kEof,
                    "line 2: data for address 0xFFFF0000, outside the chip's 131072 bytes"},
        HostileFile{"PastFlashEnd", false, upper(1) + record(0, 0xFFF8, counting(16)) + kEof,
                    "line 2: data for address 0x20000, outside"},
        HostileFile{"WrittenTwice", false, kCode + record(0, 8, counting(16)) + kEof,
                    "line 2: address 0x0008 written a second time"},
        HostileFile{"UnknownType", false, record(6, 0, {}) + kEof, "line 1: record type 0x06"},
        HostileFile{"EofWithData", false, kCode + record(1, 0, {1}), "line 2: the end-of-file"},
        HostileFile{"ShortExtended", false, record(4, 0, {1}) + kEof,
                    "line 1: an extended address record holds 2 bytes, this one 1"},
        HostileFile{"NoColon", false, "10000000\n" + kEof, "line 1: a record begins with ':'"},
        HostileFile{"OddDigits", false, kCode.substr(0, 20) + "\n" + kEof, "odd number"},
        HostileFile{"NotHex", false, ":0G\n" + kEof, "line 1: 'G' is no hex digit"},
        HostileFile{"TooShort", false, ":0000\n" + kEof, "line 1: too short for a record"},
        HostileFile{"OverlongLine", false, ":" + std::string(600, '0') + "\n" + kEof,
                    "line 1: longer than any record"},
        HostileFile{"Elf", true, elfFile(0, 64), "", 0, 64},
        HostileFile{"ElfEeprom", true, elfFile(0x810000, 16), "", 0, 0, 16},
        HostileFile{"ElfFuses", true, elfFile(0x820000, 3), "", 0, 0},
        HostileFile{"ElfAtFFFF0000", true, elfFile(0xFFFF0000, 16),
                    "a.elf loads data at 0xFFFF0000, in none of avr-gcc's address spaces"},
        HostileFile{"ElfSegmentPastItsEnd", true, elfFile(0, 16, 1, 1 << 20), "a.elf is cut short"},
        HostileFile{"ElfSegmentsOverAndOver", true, kBigElf, "a.elf's segments load more than"},
        HostileFile{"NotElf", true, kCode + kEof, "can't read a.elf as an AVR ELF file"}),
    [](const testing::TestParamInfo<HostileFile> &info) { return std::string(info.param.name); });

} // namespace
