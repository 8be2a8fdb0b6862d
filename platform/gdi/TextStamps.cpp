#include "TextStamps.h"

#include <QImage>

#include <algorithm>
#include <cstring>
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

const TStamp* TTextStamps::Get(TStampKey key, const QGlyphRun& run, double width, QPainter::RenderHints hints)
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

    // Qt blends a run glyph by glyph: where glyphs overlap, the text colour
    // is blended once for each, which rounds otherwise than blending their
    // joint coverage once. So each glyph is drawn alone, in white on the
    // cleared box of its ink, with the reference point at (-left, -top): a
    // pixel's alpha is that glyph's coverage there.
    if (Scratch.width() < w || Scratch.height() < h) {
        // Grown to hold both boxes, unless a long flat box and a long tall one
        // would make it far larger than any box it holds.
        int64_t sw = std::max<int64_t>(w, Scratch.width()), sh = std::max<int64_t>(h, Scratch.height());
        if (sw * sh > 4 * MaxBox) sw = w, sh = h;
        Scratch = QImage(int(sw), int(sh), QImage::Format_ARGB32_Premultiplied);
    }
    uchar* const bits = Scratch.bits();
    const qsizetype stride = Scratch.bytesPerLine();
    QTransform t;
    t.translate(double(-left), double(-top));
    t.rotate(-esc);
    t.scale(face.XScale, 1);
    const QRect all(0, 0, int(w), int(h));
    const QRawFont font = run.rawFont();
    const QList<quint32> glyphs = run.glyphIndexes();
    const QList<QPointF> places = run.positions();
    const QPointF origin(key.Dx / face.XScale + GlyphNudge, key.Base + GlyphNudge);
    First.assign(std::size_t(w * h), 0);
    Reach.assign(std::size_t(h), {int(w), -1});
    std::vector<std::pair<uint32_t, uint8_t>>& more = More;
    more.clear();
    {
        QPainter p(&Scratch);
        p.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform | QPainter::TextAntialiasing |
                             QPainter::VerticalSubpixelPositioning,
                         false);
        p.setRenderHints(hints, true);
        p.setPen(QColor(255, 255, 255));
        p.setTransform(t);
        QGlyphRun one;
        one.setRawFont(font);
        for (qsizetype g = 0; g < glyphs.size(); ++g) {
            const QRectF ink = font.boundingRect(glyphs[g]);
            if (ink.isEmpty()) continue;
            // The ink's box and its smoothed edge, hinting's shift included.
            const QRectF r = t.mapRect(ink.translated(origin + places[g]));
            const QRect box = QRect(QPoint(int(std::floor(r.left())) - 2, int(std::floor(r.top())) - 2),
                                    QPoint(int(std::ceil(r.right())) + 2, int(std::ceil(r.bottom())) + 2)) &
                              all;
            if (box.isEmpty()) continue;
            for (int y = box.top(); y <= box.bottom(); ++y)
                std::memset(bits + y * stride + box.left() * 4, 0, std::size_t(box.width()) * 4);
            const quint32 index = glyphs[g];
            const QPointF at = places[g];
            one.setRawData(&index, &at, 1);
            p.drawGlyphRun(origin, one);
            for (int y = box.top(); y <= box.bottom(); ++y) {
                const auto* row = reinterpret_cast<const uint32_t*>(bits + y * stride);
                uint8_t* firstRow = First.data() + std::size_t(y) * std::size_t(w);
                for (int x = box.left(); x <= box.right(); ++x) {
                    const uint8_t a = uint8_t(row[x] >> 24);
                    if (!a) continue;
                    if (!firstRow[x]) firstRow[x] = a;
                    else more.emplace_back(uint32_t(y) * uint32_t(w) + uint32_t(x), a);
                }
                auto& [from, to] = Reach[std::size_t(y)];
                from = std::min(from, box.left()), to = std::max(to, box.right());
            }
        }
    }
    TEntry entry;
    TStamp& stamp = entry.Stamp;
    stamp.Left = int32_t(left);
    stamp.Top = int32_t(top);
    for (int y = 0; y < int(h); ++y) {
        const uint8_t* row = First.data() + std::size_t(y) * std::size_t(w);
        for (int x = Reach[std::size_t(y)].first, end = Reach[std::size_t(y)].second + 1; x < end;) {
            while (x < end && !row[x]) ++x;
            const int x0 = x;
            while (x < end && row[x]) ++x;
            if (x == x0) break;
            stamp.Spans.push_back({int32_t(y + top), int32_t(x0 + left), int32_t(x + left), uint32_t(stamp.Coverage.size())});
            stamp.Coverage.insert(stamp.Coverage.end(), row + x0, row + x);
        }
    }
    // In the pixels' order, each pixel's glyphs in the run's.
    std::stable_sort(more.begin(), more.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    for (std::size_t i = 0; i < more.size();) {
        const uint32_t k = more[i].first;
        TStampOverlap o{int32_t(k / uint32_t(w) + top), int32_t(k % uint32_t(w) + left), uint32_t(stamp.Coverage.size()), 0};
        for (; i < more.size() && more[i].first == k; ++i, ++o.Count) stamp.Coverage.push_back(more[i].second);
        stamp.Overlaps.push_back(o);
    }
    // Counted by what it holds, and at least what an entry costs.
    entry.Bytes = int64_t(stamp.Coverage.size() + stamp.Spans.size() * sizeof(TStampSpan) +
                          stamp.Overlaps.size() * sizeof(TStampOverlap) + key.Text.size()) +
                  128;
    while (!Ages.empty() && Kept + entry.Bytes > MaxBytes) {
        auto oldest = Stamps.find(Ages.back());
        Kept -= oldest->second.Bytes;
        Stamps.erase(oldest);
        Ages.pop_back();
    }
    Ages.push_front(key);
    entry.Age = Ages.begin();
    Kept += entry.Bytes;
    return &Stamps.emplace(std::move(key), std::move(entry)).first->second.Stamp;
}

void TTextStamps::Put(const TRaster& px, const TStamp& stamp, int32_t x, int32_t y, uint32_t colour)
{
    const uint8_t* coverage = stamp.Coverage.data();
    // Blending reads the picture: every line the stamp touches is asked
    // for at once, rather than waited for one row after the other.
    for (const TStampSpan& s : stamp.Spans) {
        const int64_t row = int64_t(y) + s.Y;
        if (row < 0 || row >= px.Height) continue;
        const int64_t x0 = std::max<int64_t>(int64_t(x) + s.X0, 0), x1 = std::min<int64_t>(int64_t(x) + s.X1, px.Width);
        const uint32_t* line = px.Bits + row * px.Stride;
        for (int64_t i = x0; i < x1; i += 16) __builtin_prefetch(line + i, 1);
        if (x0 < x1) __builtin_prefetch(line + x1 - 1, 1);
    }
    for (const TStampSpan& s : stamp.Spans) {
        const int64_t row = int64_t(y) + s.Y;
        if (row < 0 || row >= px.Height) continue;
        const int64_t from = int64_t(x) + s.X0;
        const int64_t x0 = std::max<int64_t>(from, 0), x1 = std::min<int64_t>(int64_t(x) + s.X1, px.Width);
        uint32_t* line = px.Bits + row * px.Stride;
        const uint8_t* a = coverage + s.At - from;
        for (int64_t i = x0; i < x1; ++i)
            line[i] = a[i] == 255 ? colour : BlendCoverage(line[i], colour, a[i]);
    }
    for (const TStampOverlap& o : stamp.Overlaps) {
        const int64_t row = int64_t(y) + o.Y, col = int64_t(x) + o.X;
        if (row < 0 || row >= px.Height || col < 0 || col >= px.Width) continue;
        uint32_t& d = px.Bits[row * px.Stride + col];
        for (uint32_t k = 0; k < o.Count; ++k) d = BlendCoverage(d, colour, coverage[o.At + k]);
    }
}

} // namespace tarn::gdi
