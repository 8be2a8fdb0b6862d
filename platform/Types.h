#pragma once
// Integer point and rectangle shared by every layer; two 32-bit integers per
// point, so arrays of them can be handed across the symbol-library boundary.
#include <cstdint>

namespace tarn {

struct TPoint {
    int32_t X = 0;
    int32_t Y = 0;
    friend bool operator==(const TPoint&, const TPoint&) = default;
};
static_assert(sizeof(TPoint) == 8);

struct TRect {
    int32_t Left = 0;
    int32_t Top = 0;
    int32_t Right = 0;
    int32_t Bottom = 0;
    friend bool operator==(const TRect&, const TRect&) = default;
};
static_assert(sizeof(TRect) == 16);

} // namespace tarn
