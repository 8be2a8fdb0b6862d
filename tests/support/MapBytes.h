#pragma once
// A view's map as bytes for comparing two of them: each layer's name,
// count and objects in their stream form.
#include "data/Layers.h"

#include <cstdint>
#include <string>

namespace tarn::test {

// The bits a marking sets on outlines and never clears: where a map was
// shown before, not what it holds.
constexpr uint32_t ShownFlags = ObjFlagWhollyInView | ObjFlagPartlyInView | ObjFlagCoversView;

// Objects' flags in ignoredFlags are written as clear.
std::string MapBytes(const TMap& map, uint32_t ignoredFlags = 0);

} // namespace tarn::test
