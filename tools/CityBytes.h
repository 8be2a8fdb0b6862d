#pragma once
// Little-endian fields appended to a file being built in memory.
#include <cstdint>
#include <string>

namespace tarn::city {

inline void Put16(std::string& b, uint32_t v)
{
    b += char(v & 0xFF);
    b += char((v >> 8) & 0xFF);
}

inline void Put32(std::string& b, uint32_t v)
{
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}

} // namespace tarn::city
