#include "simulation/intel_hex.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <map>
#include <optional>
#include <vector>

namespace glimmerset {

namespace {

// Intel hex for the largest AVR flash takes under a megabyte.
constexpr std::size_t kMaxHexBytes = 16u << 20;
constexpr int kMaxRecordBytes = 5 + 255; // length, address, type, data, checksum

enum RecordType : std::uint8_t {
    Data = 0,
    EndOfFile = 1,
    ExtendedSegmentAddress = 2,
    StartSegmentAddress = 3,
    ExtendedLinearAddress = 4,
    StartLinearAddress = 5,
};

std::string hex(std::uint64_t value, int digits) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%0*llX", digits, static_cast<unsigned long long>(value));
    return text;
}

int digit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// One memory the file writes, as runs of bytes by their first address.
class Memory {
public:
    // The address written a second time, or nothing.
    std::optional<std::uint32_t> write(std::uint32_t address, const std::uint8_t *data,
                                       std::uint32_t size) {
        const std::uint64_t end = std::uint64_t(address) + size;
        auto next = runs_.lower_bound(address);
        auto previous = next == runs_.begin() ? runs_.end() : std::prev(next);
        if (previous != runs_.end() && previous->first + previous->second.size() > address)
            return address;
        if (next != runs_.end() && next->first < end)
            return next->first;
        auto run = previous != runs_.end() && previous->first + previous->second.size() == address
                       ? previous
                       : runs_.emplace_hint(next, address, std::vector<std::uint8_t>());
        run->second.insert(run->second.end(), data, data + size);
        if (next != runs_.end() && next->first == end) {
            run->second.insert(run->second.end(), next->second.begin(), next->second.end());
            runs_.erase(next);
        }
        return std::nullopt;
    }

    const std::map<std::uint32_t, std::vector<std::uint8_t>> &runs() const { return runs_; }

private:
    std::map<std::uint32_t, std::vector<std::uint8_t>> runs_;
};

class HexParser {
public:
    HexParser(std::uint32_t flashBytes, std::string &error)
        : flashBytes_(flashBytes), error_(error) {}

    bool parse(std::string_view text, ProgramImage &image) {
        for (std::size_t at = 0; at < text.size();) {
            std::size_t end = text.find('\n', at);
            if (end == std::string_view::npos)
                end = text.size();
            ++line_;
            if (!record(text.substr(at, end - at)))
                return false;
            at = end + 1;
        }
        if (!endLine_)
            return fail("the file ends without the end-of-file record :00000001FF");
        image.flash.assign(flash_.runs().begin(), flash_.runs().end());
        for (const auto &[address, bytes] : eeprom_.runs()) {
            image.eeprom.resize(address, 0xFF);
            image.eeprom.insert(image.eeprom.end(), bytes.begin(), bytes.end());
        }
        return true;
    }

private:
    bool fail(const std::string &what) {
        error_ = "line " + std::to_string(std::max(line_, 1)) + ": " + what;
        return false;
    }

    bool record(std::string_view line) {
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
            line.remove_suffix(1);
        if (line.empty())
            return true;
        if (endLine_)
            return fail("a record after the end-of-file record of line " +
                        std::to_string(endLine_));
        if (line.front() != ':')
            return fail("a record begins with ':', this line doesn't");
        line.remove_prefix(1);
        if (line.size() % 2 != 0)
            return fail("an odd number of hex digits");
        if (line.size() > 2 * std::size_t(kMaxRecordBytes) + 2)
            return fail("longer than any record (" + std::to_string(kMaxRecordBytes) + " bytes)");
        std::uint8_t bytes[kMaxRecordBytes + 1];
        const std::size_t count = line.size() / 2;
        std::uint8_t sum = 0;
        for (std::size_t i = 0; i < count; ++i) {
            const int high = digit(line[2 * i]), low = digit(line[2 * i + 1]);
            if (high < 0 || low < 0)
                return fail("'" + std::string(1, line[high < 0 ? 2 * i : 2 * i + 1]) +
                            "' is no hex digit");
            bytes[i] = std::uint8_t(high << 4 | low);
            sum += bytes[i];
        }
        if (count < 5)
            return fail("too short for a record: length, address, type and checksum take 5 "
                        "bytes, the line holds " +
                        std::to_string(count));
        const int length = bytes[0];
        if (count - 5 != std::size_t(length))
            return fail("the record's length byte says " + std::to_string(length) +
                        " data bytes, the line holds " + std::to_string(count - 5));
        if (sum != 0)
            return fail("the checksum is " + hex(bytes[count - 1], 2) + ", the record needs " +
                        hex(std::uint8_t(bytes[count - 1] - sum), 2));
        const std::uint16_t offset = std::uint16_t(bytes[1] << 8 | bytes[2]);
        const std::uint8_t *data = bytes + 4;
        switch (bytes[3]) {
        case Data:
            return place(offset, data, length);
        case EndOfFile:
            if (length != 0)
                return fail("the end-of-file record holds data");
            endLine_ = line_;
            return true;
        case ExtendedSegmentAddress:
        case ExtendedLinearAddress:
            if (length != 2)
                return fail("an extended address record holds 2 bytes, this one " +
                            std::to_string(length));
            segmented_ = bytes[3] == ExtendedSegmentAddress;
            base_ = std::uint32_t(data[0] << 8 | data[1]) << (segmented_ ? 4 : 16);
            return true;
        case StartSegmentAddress:
        case StartLinearAddress:
            // Where an x86 starts; an AVR starts at its reset vector.
            if (length != 4)
                return fail("a start address record holds 4 bytes, this one " +
                            std::to_string(length));
            return true;
        default:
            return fail("record type " + hex(bytes[3], 2) + " is none of Intel hex's (00 to 05)");
        }
    }

    bool place(std::uint16_t offset, const std::uint8_t *data, int length) {
        // A segment's offsets wrap at 64 KiB; a linear address runs on.
        if (!segmented_)
            return piece(std::uint64_t(base_) + offset, data, length);
        const int first = std::min(length, 0x10000 - offset);
        return piece(base_ + offset, data, first) && piece(base_, data + first, length - first);
    }

    std::uint64_t firstOutside(std::uint64_t address) const {
        if (address < flashBytes_)
            return flashBytes_;
        return address >= kEepromImage && address < kEepromImageEnd ? kEepromImageEnd : address;
    }

    bool piece(std::uint64_t address, const std::uint8_t *data, int size) {
        if (size == 0)
            return true;
        const std::uint64_t end = address + size;
        std::optional<std::uint32_t> twice;
        if (end <= flashBytes_)
            twice = flash_.write(std::uint32_t(address), data, size);
        else if (address >= kEepromImage && end <= kEepromImageEnd)
            twice = eeprom_.write(std::uint32_t(address - kEepromImage), data, size);
        else
            return fail("data for address " + hex(firstOutside(address), 4) +
                        ", outside the chip's " + std::to_string(flashBytes_) + " bytes of flash");
        if (twice)
            return fail("address " + hex(*twice, 4) + " written a second time");
        return true;
    }

    const std::uint32_t flashBytes_;
    std::string &error_;
    int line_ = 0;
    int endLine_ = 0;
    std::uint32_t base_ = 0;
    bool segmented_ = false;
    Memory flash_, eeprom_;
};

} // namespace

bool parseIntelHex(std::string_view text, std::uint32_t flashBytes, ProgramImage &image,
                   std::string &error) {
    return HexParser(flashBytes, error).parse(text, image);
}

bool readIntelHex(const std::string &path, std::uint32_t flashBytes, ProgramImage &image,
                  std::string &error) {
    std::string text;
    if (!readProgramBytes(path, kMaxHexBytes, text, error))
        return false;
    if (parseIntelHex(text, flashBytes, image, error))
        return true;
    error = path + ", " + error;
    return false;
}

} // namespace glimmerset
