#pragma once

#include <cstddef>
#include <cstdint>

// The CRC of MPEG-2 sections (polynomial 0x04C11DB7, not reflected): zero
// over a whole section with its CRC at the end.
inline uint32_t crc32Mpeg(const unsigned char* data, size_t length)
{
    uint32_t crc = 0xFFFFFFFF;
    for (size_t i = 0; i < length; ++i) {
        crc ^= uint32_t(data[i]) << 24;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x80000000) ? (crc << 1) ^ 0x04C11DB7 : crc << 1;
    }
    return crc;
}
