// Turned and stretched texts copied from their stamps set exactly the
// pixels Qt sets drawing the glyph run itself, wherever the text lies, the
// first time and every time after.
#include "GdiSupport.h"
#include "platform/gdi/Font.h"

#include <QGlyphRun>
#include <QPainter>

#include <gtest/gtest.h>

#include <cmath>

namespace tarn::test {
namespace {

// The glyph run of a text out with alignment top-left or centre-baseline,
// drawn by Qt straight into the image, as the context drew every turned text.
void DrawDirectly(QImage& img, const TLogFont& lf, int32_t x, int32_t y, std::string_view text, bool centre,
                  TColorRef colour)
{
    TGdiRef<TFont> font = TFont::Create(lf);
    const TFontFace& face = font->Face();
    std::vector<quint32> glyphs;
    std::vector<QPointF> pos;
    int64_t pen = 0;
    for (char ch : text) {
        const uint8_t c = uint8_t(ch);
        glyphs.push_back(face.Glyph[c]);
        pos.emplace_back(double(pen) / face.XScale, 0);
        pen += face.Advance[c];
    }
    const double dx = centre ? -std::floor(double(pen) / 2) : 0;
    const double base = centre ? 0 : face.Ascent;
    QGlyphRun run;
    run.setRawFont(face.Raw);
    run.setRawData(glyphs.data(), pos.data(), int(glyphs.size()));
    run.setUnderline(lf.Underline != 0);
    run.setStrikeOut(lf.StrikeOut != 0);
    QPainter p(&img);
    p.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing | QPainter::SmoothPixmapTransform, false);
    p.setPen(QColor(int(colour & 0xFF), int((colour >> 8) & 0xFF), int((colour >> 16) & 0xFF)));
    QTransform t;
    t.translate(x, y);
    t.rotate(-lf.Escapement / 10.0);
    t.scale(face.XScale, 1);
    p.setTransform(t);
    p.drawGlyphRun(QPointF(dx / face.XScale, base), run);
}

TEST(TextStamps, TurnedTextsSetThePixelsQtSets)
{
    struct TCase {
        int32_t Height, Width, Escapement;
        bool Decorated;
    } cases[] = {{-12, 0, 1, false},   {-12, 0, 450, false}, {-20, 0, 900, true},   {-20, 0, 1234, false},
                 {-33, 0, 1800, false}, {-16, 0, 2700, true}, {-16, 0, 3599, false}, {-14, 0, -450, false},
                 {-18, 9, 0, false},    {-18, 5, 300, true},  {-25, 0, 7200 + 150, false}};
    const std::string texts[] = {"\xD3\xEB\xE8\xF6\xE0 \xCB\xE5\xED\xE8\xED\xE0", "W", "ij,;"};
    // Reference points inside, near each edge and partly outside.
    const std::pair<int32_t, int32_t> places[] = {{60, 60}, {3, 50}, {115, 8}, {-10, 118}, {64, 130}, {70, -6}};
    const TColorRef colour = Rgb(200, 30, 90);
    for (const TCase& c : cases)
        for (const std::string& text : texts)
            for (bool centre : {false, true}) {
                SCOPED_TRACE("height " + std::to_string(c.Height) + " width " + std::to_string(c.Width) +
                             " escapement " + std::to_string(c.Escapement) + " text of " +
                             std::to_string(text.size()) + (centre ? " centred" : ""));
                TLogFont lf = DejaVu(c.Height, c.Escapement);
                lf.Width = c.Width;
                lf.Underline = lf.StrikeOut = c.Decorated;
                TCanvas canvas(128, 128);
                QImage expected = canvas.Img.copy();
                TGdiRef<TFont> font = TFont::Create(lf);
                canvas.DC->SelectFont(font.get());
                canvas.DC->SetTextColor(colour);
                canvas.DC->SetBkMode(TGDI_TRANSPARENT);
                canvas.DC->SetTextAlign(centre ? TGDI_TA_CENTER | TGDI_TA_BASELINE : TGDI_TA_LEFT | TGDI_TA_TOP);
                // Twice at each place: made the first time, copied after.
                for (int round = 0; round < 2; ++round)
                    for (const auto& [x, y] : places) {
                        canvas.DC->TextOut(x, y, text);
                        DrawDirectly(expected, lf, x, y, text, centre, colour);
                    }
                const bool same = SameImage(canvas.Img, expected);
                if (!same) SaveImage(canvas.Img, "stamps-" + std::to_string(&c - cases));
                EXPECT_TRUE(SameImage(canvas.Img, expected));
                EXPECT_GT(Count(canvas.Img, colour), 0);
            }
}

} // namespace
} // namespace tarn::test
