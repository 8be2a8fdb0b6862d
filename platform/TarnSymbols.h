/* The boundary between the program and a symbol library ("tarn.dll").
 *
 * The library exports "GETSIZE" (int32_t GETSIZE(void): its nominal sign
 * size) and drawing procedures "SIGN"+n, "LINE"+n and "FILL"+n, each
 *     uint8_t proc(int32_t mode, void* record)
 * answering non-zero when it handled the mode (1 = draw). The records are
 * packed and keep their field order; the device-context handle and the
 * point-array address are eight bytes wide. */
#ifndef TARN_PLATFORM_TARNSYMBOLS_H
#define TARN_PLATFORM_TARNSYMBOLS_H

#include "platform/TarnGdi.h"

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef uint8_t (*TSymbolProc)(int32_t mode, void* record);
typedef int32_t (*TSymbolSizeProc)(void);

#pragma pack(push, 1)

/* 25 bytes */
typedef struct TSignParams {
    int32_t X;          /* anchor column */
    int32_t Y;          /* anchor row */
    TgdiHandle DC;
    int32_t SignNumber;
    int32_t Size;       /* pixels, at most 100000 */
    uint8_t Selected;
} TSignParams;

/* 33 bytes */
typedef struct TLineParams {
    TgdiHandle DC;
    TgdiPoint* Points;
    int32_t Count;
    int32_t Size;       /* at most 100000 */
    int32_t Width;      /* ten times the pen width in pixels */
    int32_t Colour;
    uint8_t Selected;
} TLineParams;

/* 29 bytes */
typedef struct TFillParams {
    TgdiHandle DC;
    TgdiPoint* Points;
    int32_t Count;
    int32_t Size;       /* at most 100000 */
    int32_t Colour;
    uint8_t Selected;
} TFillParams;

#pragma pack(pop)

#ifdef __cplusplus
}

#include <cstddef>
static_assert(sizeof(void*) == 8, "the symbol library records assume 64-bit handles");
static_assert(sizeof(TSignParams) == 25);
static_assert(offsetof(TSignParams, X) == 0 && offsetof(TSignParams, Y) == 4 && offsetof(TSignParams, DC) == 8 &&
              offsetof(TSignParams, SignNumber) == 16 && offsetof(TSignParams, Size) == 20 &&
              offsetof(TSignParams, Selected) == 24);
static_assert(sizeof(TLineParams) == 33);
static_assert(offsetof(TLineParams, DC) == 0 && offsetof(TLineParams, Points) == 8 &&
              offsetof(TLineParams, Count) == 16 && offsetof(TLineParams, Size) == 20 &&
              offsetof(TLineParams, Width) == 24 && offsetof(TLineParams, Colour) == 28 &&
              offsetof(TLineParams, Selected) == 32);
static_assert(sizeof(TFillParams) == 29);
static_assert(offsetof(TFillParams, DC) == 0 && offsetof(TFillParams, Points) == 8 &&
              offsetof(TFillParams, Count) == 16 && offsetof(TFillParams, Size) == 20 &&
              offsetof(TFillParams, Colour) == 24 && offsetof(TFillParams, Selected) == 28);
#endif

#endif
