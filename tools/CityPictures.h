#pragma once
// Small pictures of the demo city's object database (cards and banners):
// a palette picture drawn with a few shapes, and its bytes as BMP, GIF
// (animated, LZW-packed) and JPEG. The same drawing always gives the same
// bytes.
#include <cstdint>
#include <string>
#include <vector>

namespace tarn::city {

// Colours are 0x00RRGGBB; pixels index the palette (at most 256 colours).
struct TPicture {
    TPicture(int32_t width, int32_t height, std::vector<uint32_t> palette);

    int32_t Width;
    int32_t Height;
    std::vector<uint32_t> Palette;
    std::vector<uint8_t> Pixels;

    uint8_t& At(int32_t x, int32_t y) { return Pixels[std::size_t(y) * std::size_t(Width) + std::size_t(x)]; }
    // Each clipped to the picture; right and bottom edges excluded.
    void Rect(int32_t x0, int32_t y0, int32_t x1, int32_t y1, uint8_t colour);
    void Disc(int32_t cx, int32_t cy, int32_t r, uint8_t colour);
    // Rows from `first` to `last` palette entries, top to bottom.
    void Gradient(int32_t y0, int32_t y1, uint8_t first, uint8_t last);
    std::vector<uint32_t> Rgb() const;
};

// A palette of `steps` entries from one colour to another.
std::vector<uint32_t> Ramp(uint32_t from, uint32_t to, int steps);

// An uncompressed BMP of 8 (palette) or 24 bits a pixel, rows bottom-up.
std::string BmpBytes(const TPicture& picture, int bits);
// An animated GIF of equally sized frames sharing the first frame's
// palette, looping for ever, `delay` hundredths of a second a frame.
std::string GifBytes(const std::vector<TPicture>& frames, int32_t delay);
// A baseline JPEG through the platform's writer.
std::string JpegBytes(const TPicture& picture, int32_t quality);

// Pictures the cards and banners show, drawn from a seed: a house front
// under a sky, and a banner strip with bands and discs under its caption
// (UTF-8; capitals, digits and a few signs).
TPicture FacadePicture(int32_t width, int32_t height, uint32_t seed);
TPicture BannerPicture(int32_t width, int32_t height, uint32_t seed, int32_t frame, const std::string& caption);

} // namespace tarn::city
