#include "TextStamps.h"

#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <functional>

namespace tarn::gdi {

std::size_t TTextStamps::THash::operator()(const TStampKey& k) const
{
    std::size_t h = std::hash<std::string>()(k.Text);
    auto mix = [&h](std::size_t v) { h ^= v + 0x9E3779B97F4A7C15ull + (h << 6) + (h >> 2); };
    mix(std::hash<const void*>()(k.Face.get()));
    mix(std::hash<int32_t>()(k.Escapement));
    mix(std::hash<double>()(k.Dx));
    mix(std::hash<double>()(k.Base));
    return h;
}

const TStamp* TTextStamps::Get(TStampKey key, const QGlyphRun& run, double width)
{
    auto found = Stamps.find(key);
    if (found != Stamps.end()) {
        Ages.splice(Ages.begin(), Ages, found->second.Age);
        return &found->second.Stamp;
    }
    const TFontFace& face = *key.Face;
    // The text's box turned, grown by a cell for overhangs.
    const double pad = face.PixelSize + 4;
    const double esc = key.Escapement / 10.0, rad = esc * M_PI / 180.0, c = std::cos(rad), s = std::sin(rad);
    double minX = 0, maxX = 0, minY = 0, maxY = 0;
    for (double u : {key.Dx - pad, key.Dx + width + pad})
        for (double v : {key.Base - face.Ascent - pad, key.Base + face.Descent + pad}) {
            const double x = u * c + v * s, y = -u * s + v * c;
            minX = std::min(minX, x), maxX = std::max(maxX, x), minY = std::min(minY, y), maxY = std::max(maxY, y);
        }
    const int64_t left = int64_t(std::floor(minX)), top = int64_t(std::floor(minY));
    const int64_t w = int64_t(std::ceil(maxX)) - left + 1, h = int64_t(std::ceil(maxY)) - top + 1;
    if (w <= 0 || h <= 0 || w * h > MaxBox) return nullptr;

    // Drawn as the context draws it, with the reference point at (-left, -top).
    QImage image(int(w), int(h), QImage::Format_ARGB32_Premultiplied);
    image.fill(0);
    {
        QPainter p(&image);
        p.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing | QPainter::SmoothPixmapTransform, false);
        p.setCompositionMode(QPainter::CompositionMode_SourceOver);
        p.setPen(QColor(255, 255, 255));
        QTransform t;
        t.translate(double(-left), double(-top));
        t.rotate(-esc);
        t.scale(face.XScale, 1);
        p.setTransform(t);
        p.drawGlyphRun(QPointF(key.Dx / face.XScale, key.Base), run);
    }
    TEntry entry;
    entry.Stamp.Left = int32_t(left);
    entry.Stamp.Top = int32_t(top);
    for (int y = 0; y < int(h); ++y) {
        const auto* row = reinterpret_cast<const uint32_t*>(image.constScanLine(y));
        for (int x = 0; x < int(w);) {
            if (!(row[x] >> 24)) {
                ++x;
                continue;
            }
            const int x0 = x;
            while (x < int(w) && (row[x] >> 24)) ++x;
            entry.Stamp.Spans.push_back({int32_t(y + top), int32_t(x0 + left), int32_t(x + left)});
            entry.Pixels += x - x0;
        }
    }
    // Counted by what it holds, and at least what an entry costs.
    entry.Pixels += int64_t(entry.Stamp.Spans.size()) * 3 + int64_t(key.Text.size()) + 64;
    while (!Ages.empty() && Kept + entry.Pixels > MaxPixels) {
        auto oldest = Stamps.find(Ages.back());
        Kept -= oldest->second.Pixels;
        Stamps.erase(oldest);
        Ages.pop_back();
    }
    Ages.push_front(key);
    entry.Age = Ages.begin();
    Kept += entry.Pixels;
    return &Stamps.emplace(std::move(key), std::move(entry)).first->second.Stamp;
}

void TTextStamps::Put(const TRaster& px, const TStamp& stamp, int32_t x, int32_t y, uint32_t pixel)
{
    for (const TStampSpan& s : stamp.Spans) {
        const int64_t row = int64_t(y) + s.Y;
        if (row < 0 || row >= px.Height) continue;
        const int64_t x0 = std::max<int64_t>(int64_t(x) + s.X0, 0), x1 = std::min<int64_t>(int64_t(x) + s.X1, px.Width);
        uint32_t* line = px.Bits + row * px.Stride;
        for (int64_t i = x0; i < x1; ++i) line[i] = pixel;
    }
}

} // namespace tarn::gdi
