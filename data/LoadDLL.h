#pragma once
// The symbol library: loading it, finding its procedures, the request
// records that cross to it, and the built-in procedures that stand in for
// what it lacks.
#include "platform/DynLib.h"
#include "platform/TarnSymbols.h"
#include "platform/Types.h"
#include "platform/gdi/Gdi.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace tarn {

// The records keep their field order and packing; only the device-context
// handle and the point address are eight bytes wide.
static_assert(sizeof(TSignParams) == 25 && offsetof(TSignParams, DC) == 8 && offsetof(TSignParams, Selected) == 24);
static_assert(sizeof(TLineParams) == 33 && offsetof(TLineParams, Points) == 8 && offsetof(TLineParams, Selected) == 32);
static_assert(sizeof(TFillParams) == 29 && offsetof(TFillParams, Count) == 16 && offsetof(TFillParams, Selected) == 28);

constexpr int32_t MaxSymbolSize = 100000;
constexpr int32_t DefaultDllSize = 100;

// False, leaving `handle` as it is, for a missing name or one shorter than
// six characters; otherwise loads the name resolved against `folder` into
// `handle` and answers whether that worked. With a folder, a library whose
// real path (links followed) lies outside it is not loaded.
bool LoadDrawDll(const char* fileName, const std::string& folder, TDynLib& handle);

// The library's nominal sign size from "GETSIZE"; 100 without a library
// or without the export.
int32_t GetDllSize(const TDynLib* library);
// A nominal size fit to divide by: one that is 0 or less counts as 100.
int32_t DllSizeDivisor(int32_t size);

// The procedure "SIGN"/"LINE"/"FILL" followed by n in decimal; null when
// the library (or the export) is missing. Callers substitute the built-ins.
TSymbolProc GetSignProc(const TDynLib* library, int32_t n);
TSymbolProc GetLineProc(const TDynLib* library, int32_t n);
TSymbolProc GetFillProc(const TDynLib* library, int32_t n);

// Store the arguments in field order, then cap the size at 100000.
void FillSignParams(TSignParams& rec, TDeviceContext* dc, int32_t x, int32_t y, int32_t signNumber, int32_t size,
                    bool selected);
void FillLineParams(TLineParams& rec, TDeviceContext* dc, TPoint* points, int32_t count, int32_t size, int32_t width,
                    int32_t colour, bool selected);
void FillFillParams(TFillParams& rec, TDeviceContext* dc, TPoint* points, int32_t count, int32_t size,
                    int32_t colour, bool selected);

// Built-in procedures (mode 1 draws; the sign procedure also takes mode 2,
// which only sets the record's X to 0). The sign is a circle of radius
// round(size / 2), white or, selected, dark grey, with a black outline; the
// line a one-pixel polyline and the fill a rising hatch with the current
// pen, both black unless selected, when they take the record's colour.
uint8_t DefaultSignProc(int32_t mode, void* record);
uint8_t DefaultLineProc(int32_t mode, void* record);
uint8_t DefaultFillProc(int32_t mode, void* record);

} // namespace tarn
