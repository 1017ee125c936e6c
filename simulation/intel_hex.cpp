#include "intel_hex.h"

#include <algorithm>
#include <cstdio>
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

// One memory the file writes, with which of its bytes were written.
class Memory {
public:
    explicit Memory(std::uint8_t erased) : erased_(erased) {}

    // False when the byte was written before.
    bool write(std::uint32_t address, std::uint8_t value) {
        if (address >= bytes_.size()) {
            bytes_.resize(std::size_t(address) + 1, erased_);
            written_.resize(std::size_t(address) + 1, false);
        }
        if (written_[address])
            return false;
        bytes_[address] = value;
        written_[address] = true;
        return true;
    }

    // Each run of written bytes at its address.
    void runs(std::vector<std::pair<std::uint32_t, std::vector<std::uint8_t>>> &out) const {
        for (std::size_t at = 0; at < bytes_.size();) {
            if (!written_[at]) {
                ++at;
                continue;
            }
            std::size_t end = at;
            while (end < bytes_.size() && written_[end])
                ++end;
            out.emplace_back(std::uint32_t(at),
                             std::vector<std::uint8_t>(bytes_.begin() + at, bytes_.begin() + end));
            at = end;
        }
    }

    const std::vector<std::uint8_t> &bytes() const { return bytes_; }

private:
    std::uint8_t erased_;
    std::vector<std::uint8_t> bytes_;
    std::vector<bool> written_;
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
        flash_.runs(image.flash);
        if (!eeprom_.bytes().empty())
            image.eeprom = eeprom_.bytes();
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
        for (int i = 0; i < length; ++i) {
            // A segment's offsets wrap at 64 KiB; a linear address runs on.
            const std::uint64_t address =
                segmented_ ? base_ + std::uint16_t(offset + i) : std::uint64_t(base_) + offset + i;
            bool fresh;
            if (address < flashBytes_)
                fresh = flash_.write(std::uint32_t(address), data[i]);
            else if (address >= kEepromImage && address < kEepromImageEnd)
                fresh = eeprom_.write(std::uint32_t(address - kEepromImage), data[i]);
            else
                return fail("data for address " + hex(address, 4) + ", outside the chip's " +
                            std::to_string(flashBytes_) + " bytes of flash");
            if (!fresh)
                return fail("address " + hex(address, 4) + " written a second time");
        }
        return true;
    }

    const std::uint32_t flashBytes_;
    std::string &error_;
    int line_ = 0;
    int endLine_ = 0;
    std::uint32_t base_ = 0;
    bool segmented_ = false;
    Memory flash_{0xFF}, eeprom_{0xFF};
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
