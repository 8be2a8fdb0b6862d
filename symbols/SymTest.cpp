// Test library of the loader: exports "SIGN0", "SIGN-3", "SIGN7", "LINE2"
// and "FILL5", each keeping a copy of the last record it received (and the
// first point behind a line or fill record), readable through
// "TestLastCall". "GETSIZE" only when SYMTEST_GETSIZE is defined.
#include "platform/TarnSymbols.h"

#include <cstring>

#define TARN_EXPORT extern "C" __attribute__((visibility("default")))

namespace {
struct TCall {
    int32_t Proc;  // 0 none, else the export's number; -3 for "SIGN-3"
    int32_t Mode;
    int32_t Size;
    uint8_t Bytes[64];
    TgdiPoint FirstPoint;
};
TCall Last;

uint8_t Keep(int32_t proc, int32_t mode, const void* record, int32_t size, bool points)
{
    Last = TCall{};
    Last.Proc = proc;
    Last.Mode = mode;
    Last.Size = size;
    if (!record) return 0;
    std::memcpy(Last.Bytes, record, size_t(size));
    if (points) {
        TgdiPoint* p;
        std::memcpy(&p, static_cast<const uint8_t*>(record) + 8, sizeof p);
        if (p) Last.FirstPoint = p[0];
    }
    return mode == 1 ? 1 : 0;
}
} // namespace

TARN_EXPORT uint8_t SIGN0(int32_t mode, void* r) { return Keep(0, mode, r, sizeof(TSignParams), false); }
TARN_EXPORT uint8_t SIGN7(int32_t mode, void* r) { return Keep(7, mode, r, sizeof(TSignParams), false); }
TARN_EXPORT uint8_t LINE2(int32_t mode, void* r) { return Keep(102, mode, r, sizeof(TLineParams), true); }
TARN_EXPORT uint8_t FILL5(int32_t mode, void* r) { return Keep(205, mode, r, sizeof(TFillParams), true); }

extern "C" __attribute__((visibility("hidden"))) uint8_t SymTestSignMinus3(int32_t mode, void* r)
{
    return Keep(-3, mode, r, sizeof(TSignParams), false);
}
// A name no C function can have.
asm(".globl \"SIGN-3\"\n\t.type \"SIGN-3\", @function\n\t.set \"SIGN-3\", SymTestSignMinus3");

#ifdef SYMTEST_GETSIZE
TARN_EXPORT int32_t GETSIZE(void) { return SYMTEST_GETSIZE; }
#endif

// Copies the last call: answers the record's size, fills proc, mode, the
// record bytes and the first point.
TARN_EXPORT int32_t TestLastCall(int32_t* proc, int32_t* mode, uint8_t* bytes, TgdiPoint* firstPoint)
{
    *proc = Last.Proc;
    *mode = Last.Mode;
    std::memcpy(bytes, Last.Bytes, size_t(Last.Size));
    *firstPoint = Last.FirstPoint;
    return Last.Size;
}
