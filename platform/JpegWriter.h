#pragma once
// JPEG encoding for tools that write pictures without a window system:
// Qt's JPEG writer over a block of 32-bit pixels. The same pixels and
// quality always give the same bytes.
#include <cstdint>
#include <string>

namespace tarn {

// Pixels are 0x00RRGGBB, row after row from the top; quality 1 to 100.
// Throws ETarnError when the JPEG writer is missing or fails.
std::string EncodeJpeg(const uint32_t* pixels, int32_t width, int32_t height, int32_t quality);

} // namespace tarn
