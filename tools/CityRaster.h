#pragma once
// The one-bit "scanned" plan of a planned district that the raster layer
// shows: drawn here pixel by pixel, with a little scanner noise.
#include "CityPlan.h"

#include <cstdint>
#include <string>

namespace tarn::city {

// The bytes of a one-bit ".bmp" (black ink on white paper) of the area's
// pixel size.
std::string MakeScanPicture(const TScanArea& area, uint32_t seed);

} // namespace tarn::city
