#pragma once
// The state that reading and writing one document needs: file version,
// project scale, filer scale and the origins of the sheet being read or
// written. Each model owns one, so two open documents never disturb each other.
#include <cstdint>

namespace tarn {

struct TFileContext {
    int32_t FileVersion = 102;
    int32_t ProjectScale = 0;
    double FilerScale = 1.0;
    int32_t OriginX = 0;
    int32_t OriginY = 0;
    int32_t YBase = 0;
    int32_t CurrentSheetID = 0;
    // The scale of the map last read, or of the level whose maps are being
    // written: every map read sets it, every map written stores it.
    double MapScale = 0;
};

} // namespace tarn
