#pragma once
// Clipping a closed integer polygon against an axis-parallel rectangle,
// edge by edge (x = MinX, y = MinY, x = MaxX, y = MaxY; a point on an edge
// line is inside). Polygon drawing cuts outlines far larger than the window
// to the window's neighbourhood before converting them to pixels.
//
// The work buffers are shared and grow as needed: one clip at a time, on
// the user-interface thread.
#include "data/DrawContext.h"
#include "platform/Types.h"

#include <cstdint>
#include <vector>

namespace tarn {

constexpr int32_t ClipDone = 0;
constexpr int32_t ClipNoPoints = 255;

// Clips the polygon of count points against the rectangle with corners
// (x1, y1) and (x2, y2) in any order. Answers ClipDone with the clipped
// points in result, or ClipNoPoints (result empty) for an empty polygon.
// An edge that no side of the polygon enters leaves the polygon as it is,
// so a polygon wholly outside comes back unchanged.
int32_t ClipPolygonToRect(int32_t x1, int32_t y1, int32_t x2, int32_t y2, const TPoint* points, int32_t count,
                          std::vector<TPoint>& result);

// The world points cut to the context's world rectangle widened by three
// pixels (3 x round(Scale) world units) on every side; out receives the
// clipped points, or a copy of the points when nothing could be clipped.
void ClipForDrawing(const TDrawContext& context, const TPoint* points, int32_t count, std::vector<TPoint>& out);

} // namespace tarn
