#pragma once
// Intel hex text for tests, written independently of the upload's decoder.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

inline std::string HexLine(uint8_t type, uint16_t address, const std::vector<uint8_t>& data)
{
    std::string line = ":";
    char pair[3];
    auto put = [&](uint8_t b) {
        std::snprintf(pair, sizeof pair, "%02X", b);
        line += pair;
    };
    uint8_t sum = static_cast<uint8_t>(data.size() + (address >> 8) + (address & 0xFF) + type);
    put(static_cast<uint8_t>(data.size()));
    put(static_cast<uint8_t>(address >> 8));
    put(static_cast<uint8_t>(address & 0xFF));
    put(type);
    for (uint8_t b : data) {
        put(b);
        sum = static_cast<uint8_t>(sum + b);
    }
    put(static_cast<uint8_t>(0x100 - sum));
    return line + "\r\n";
}

inline std::string DataRecord(uint16_t address, const std::vector<uint8_t>& data)
{
    return HexLine(0x00, address, data);
}

// The checksum byte of a line built by HexLine.
inline uint8_t ChecksumOf(const std::string& line)
{
    const size_t end = line.find('\r');
    return static_cast<uint8_t>(std::stoul(line.substr(end - 2, 2), nullptr, 16));
}

// An image as data records of perRecord bytes, with extended linear address records where the
// upper 16 bits change, and the end record.
inline std::string IntelHex(uint32_t address, const std::vector<uint8_t>& image, size_t perRecord)
{
    std::string text;
    uint32_t upper = 0xFFFFFFFF;
    for (size_t at = 0; at < image.size();) {
        const uint32_t a = address + static_cast<uint32_t>(at);
        if ((a >> 16) != upper) {
            upper = a >> 16;
            text += HexLine(0x04, 0, {static_cast<uint8_t>(upper >> 8), static_cast<uint8_t>(upper)});
        }
        // A record never crosses a 64 KiB boundary.
        const size_t room = 0x10000 - (a & 0xFFFF);
        const size_t n = std::min(std::min(perRecord, image.size() - at), room);
        text += DataRecord(static_cast<uint16_t>(a & 0xFFFF),
                           std::vector<uint8_t>(image.begin() + at, image.begin() + at + n));
        at += n;
    }
    return text + HexLine(0x01, 0, {});
}
