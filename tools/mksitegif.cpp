// mksitegif: draws the main window's web-site animation, a globe turning
// once in 24 frames, and writes it as an animated GIF (the program
// keeps it as a resource: app/icons/site.gif).
//
//     mksitegif FILE
#include "tools/CityPictures.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iostream>
#include <numbers>

namespace {

using tarn::city::TPicture;

constexpr int32_t Size = 27;
constexpr int Frames = 24;     // a whole turn
constexpr int32_t Delay = 10;  // hundredths of a second a frame
// Palette: the tile, the sea and the land each from shadow to light, the
// grid lines, the rim.
constexpr uint8_t Tile = 0, Sea = 1, Land = 13, Shades = 12, LandShades = 8, Grid = 21, Rim = 22;

constexpr double Degree = std::numbers::pi / 180;

// Whether an angle (degrees) lies within `width` of a multiple of `step`.
bool Near(double angle, double step, double width)
{
    const double r = std::fmod(std::fmod(angle, step) + step, step);
    return r < width || step - r < width;
}

// Made-up continents: a few soft blobs around the globe.
bool IsLand(double longitude, double latitude)
{
    const double l = longitude * Degree, f = latitude * Degree;
    const double h = std::sin(l + 0.6) * std::cos(f - 0.3) + 0.6 * std::sin(2 * l + 2.1) * std::cos(2 * f) +
                     0.35 * std::sin(3 * l - 0.4) * std::sin(3 * f + 0.5);
    return h > 0.45;
}

TPicture Frame(int frame)
{
    std::vector<uint32_t> palette{0xEFEFEF};  // the window colour of Qt's own style
    for (uint32_t c : tarn::city::Ramp(0x10306A, 0x4A9ADE, Shades)) palette.push_back(c);
    for (uint32_t c : tarn::city::Ramp(0x1E5A28, 0x7CC050, LandShades)) palette.push_back(c);
    palette.push_back(0xCFE6FA);
    palette.push_back(0x0C2448);
    TPicture p(Size, Size, palette);
    const double centre = (Size - 1) / 2.0, radius = Size / 2.0 - 1.5;
    const double turn = 360.0 / Frames * frame;
    for (int32_t y = 0; y < Size; ++y)
        for (int32_t x = 0; x < Size; ++x) {
            const double u = (x - centre) / radius, v = (y - centre) / radius;
            const double d = u * u + v * v;
            if (d > 1.0) {
                p.At(x, y) = d < 1.2 ? Rim : Tile;
                continue;
            }
            const double z = std::sqrt(1.0 - d);
            const double latitude = std::asin(-v) / Degree;
            const double longitude = std::atan2(u, z) / Degree + turn;
            // Lit from the upper left.
            const double light = std::clamp(0.6 * z - 0.3 * u - 0.3 * v + 0.3, 0.0, 1.0);
            if (Near(latitude, 90, 2.5) || Near(longitude, 90, 2.5 / std::max(std::cos(latitude * Degree), 0.3)))
                p.At(x, y) = Grid;
            else if (IsLand(longitude, latitude))
                p.At(x, y) = uint8_t(Land + std::lround(light * (LandShades - 1)));
            else
                p.At(x, y) = uint8_t(Sea + std::lround(light * (Shades - 1)));
        }
    return p;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "usage: mksitegif FILE\n";
        return 2;
    }
    std::vector<TPicture> frames;
    for (int f = 0; f < Frames; ++f) frames.push_back(Frame(f));
    const std::string bytes = tarn::city::GifBytes(frames, Delay);
    std::ofstream out(argv[1], std::ios::binary);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    out.close();
    if (!out) {
        std::cerr << "mksitegif: cannot write " << argv[1] << "\n";
        return 1;
    }
    return 0;
}
