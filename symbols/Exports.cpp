// The exports of the symbol library: "GETSIZE", "SIGN1".."SIGN60",
// "LINE1".."LINE8" and "FILL1".."FILL8". Nothing else leaves the library.
#include "Signs.h"

#define TARN_EXPORT extern "C" __attribute__((visibility("default")))

namespace {
// Nominal sign size: the legend draws its samples at 20 / 40 x 100 = 50 pixels.
constexpr int32_t NominalSize = 40;

uint8_t SignProc(int number, int32_t mode, void* record)
{
    if (mode != 1 || !record) return 0;
    return tarnsym::DrawSign(number, tarnsym::ReadRecord<TSignParams>(record)) ? 1 : 0;
}
uint8_t LineProc(int number, int32_t mode, void* record)
{
    if (mode != 1 || !record) return 0;
    return tarnsym::DrawLine(number, tarnsym::ReadRecord<TLineParams>(record)) ? 1 : 0;
}
uint8_t FillProc(int number, int32_t mode, void* record)
{
    if (mode != 1 || !record) return 0;
    return tarnsym::DrawFill(number, tarnsym::ReadRecord<TFillParams>(record)) ? 1 : 0;
}
} // namespace

TARN_EXPORT int32_t GETSIZE(void) { return NominalSize; }

#define TARN_SIGN(n) \
    TARN_EXPORT uint8_t SIGN##n(int32_t mode, void* record) { return SignProc(n, mode, record); }
#define TARN_LINE(n) \
    TARN_EXPORT uint8_t LINE##n(int32_t mode, void* record) { return LineProc(n, mode, record); }
#define TARN_FILL(n) \
    TARN_EXPORT uint8_t FILL##n(int32_t mode, void* record) { return FillProc(n, mode, record); }

TARN_SIGN(1) TARN_SIGN(2) TARN_SIGN(3) TARN_SIGN(4) TARN_SIGN(5) TARN_SIGN(6) TARN_SIGN(7) TARN_SIGN(8)
TARN_SIGN(9) TARN_SIGN(10) TARN_SIGN(11) TARN_SIGN(12) TARN_SIGN(13) TARN_SIGN(14) TARN_SIGN(15)
TARN_SIGN(16) TARN_SIGN(17) TARN_SIGN(18) TARN_SIGN(19) TARN_SIGN(20) TARN_SIGN(21) TARN_SIGN(22)
TARN_SIGN(23) TARN_SIGN(24) TARN_SIGN(25) TARN_SIGN(26) TARN_SIGN(27) TARN_SIGN(28) TARN_SIGN(29)
TARN_SIGN(30) TARN_SIGN(31) TARN_SIGN(32) TARN_SIGN(33) TARN_SIGN(34) TARN_SIGN(35) TARN_SIGN(36)
TARN_SIGN(37) TARN_SIGN(38) TARN_SIGN(39) TARN_SIGN(40) TARN_SIGN(41) TARN_SIGN(42) TARN_SIGN(43)
TARN_SIGN(44) TARN_SIGN(45) TARN_SIGN(46) TARN_SIGN(47) TARN_SIGN(48) TARN_SIGN(49) TARN_SIGN(50)
TARN_SIGN(51) TARN_SIGN(52) TARN_SIGN(53) TARN_SIGN(54) TARN_SIGN(55) TARN_SIGN(56) TARN_SIGN(57)
TARN_SIGN(58) TARN_SIGN(59) TARN_SIGN(60)

TARN_LINE(1) TARN_LINE(2) TARN_LINE(3) TARN_LINE(4) TARN_LINE(5) TARN_LINE(6) TARN_LINE(7) TARN_LINE(8)

TARN_FILL(1) TARN_FILL(2) TARN_FILL(3) TARN_FILL(4) TARN_FILL(5) TARN_FILL(6) TARN_FILL(7) TARN_FILL(8)
