// Turned and stretched texts blended from their stamps give exactly the
// pixels Qt gives drawing the glyph run itself (smoothed, the turned face
// unhinted), over any background, in any colour, wherever the text lies,
// the first time and every time after.
#include "GdiSupport.h"
#include "platform/gdi/Font.h"

#include <QGlyphRun>
#include <QPainter>

#include <gtest/gtest.h>

#include <cmath>

namespace tarn::test {
namespace {

// The glyph run of a text out with alignment top-left or centre-baseline,
// drawn by Qt straight into the image with the context's text hints.
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
    run.setRawFont(lf.Escapement % 3600 != 0 ? face.Turned : face.Raw);
    run.setRawData(glyphs.data(), pos.data(), int(glyphs.size()));
    run.setUnderline(lf.Underline != 0);
    run.setStrikeOut(lf.StrikeOut != 0);
    QPainter p(&img);
    p.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform, false);
    p.setRenderHints(QPainter::TextAntialiasing | QPainter::VerticalSubpixelPositioning, true);
    p.setPen(QColor(int(colour & 0xFF), int((colour >> 8) & 0xFF), int((colour >> 16) & 0xFF)));
    QTransform t;
    t.translate(x, y);
    t.rotate(-lf.Escapement / 10.0);
    t.scale(face.XScale, 1);
    p.setTransform(t);
    p.drawGlyphRun(QPointF(dx / face.XScale + GlyphNudge, base + GlyphNudge), run);
}

int Changed(const QImage& a, const QImage& b)
{
    int n = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) n += a.pixel(x, y) != b.pixel(x, y);
    return n;
}

TEST(TextStamps, TurnedTextsSetThePixelsQtSets)
{
    struct TCase {
        int32_t Height, Width, Escapement, Weight;
        bool Italic, Decorated;
    } cases[] = {{-12, 0, 1, 400, false, false},    {-12, 0, 450, 400, false, false}, {-20, 0, 900, 400, false, true},
                 {-20, 0, 1234, 700, false, false}, {-33, 0, 1800, 400, false, false}, {-16, 0, 2700, 400, false, true},
                 {-16, 0, 3599, 400, true, false},  {-14, 0, -450, 700, true, false}, {-18, 9, 0, 400, false, false},
                 {-18, 5, 300, 400, false, true},   {-25, 0, 7200 + 150, 400, true, false}, {-11, 7, 0, 700, true, false}};
    // Letters that overlap their neighbours, a lone letter, small marks.
    const std::string texts[] = {"\xD3\xEB\xE8\xF6\xE0 \xCB\xE5\xED\xE8\xED\xE0", "W", "ij,;", "ffjf//VAV"};
    // Reference points inside, near each edge and partly outside.
    const std::pair<int32_t, int32_t> places[] = {{60, 60}, {3, 50}, {115, 8}, {-10, 118}, {64, 130}, {70, -6}};
    // The stamp holds no colour: the second round draws in another.
    const TColorRef colours[] = {Rgb(200, 30, 90), Rgb(20, 60, 10)};
    int index = 0;
    for (const TCase& c : cases)
        for (const std::string& text : texts)
            for (bool centre : {false, true})
                for (bool noisy : {false, true}) {
                    SCOPED_TRACE("height " + std::to_string(c.Height) + " width " + std::to_string(c.Width) +
                                 " escapement " + std::to_string(c.Escapement) + " text of " +
                                 std::to_string(text.size()) + (centre ? " centred" : "") +
                                 (noisy ? " over noise" : ""));
                    TLogFont lf = DejaVu(c.Height, c.Escapement, c.Weight);
                    lf.Width = c.Width;
                    lf.Italic = c.Italic;
                    lf.Underline = lf.StrikeOut = c.Decorated;
                    TCanvas canvas(128, 128);
                    if (noisy) {
                        QPainter p(&canvas.Img);
                        p.drawImage(0, 0, Noise(128, 128, uint32_t(index)));
                    }
                    const QImage background = canvas.Img.copy();
                    QImage expected = background.copy();
                    TGdiRef<TFont> font = TFont::Create(lf);
                    canvas.DC->SelectFont(font.get());
                    canvas.DC->SetBkMode(TGDI_TRANSPARENT);
                    canvas.DC->SetTextAlign(centre ? TGDI_TA_CENTER | TGDI_TA_BASELINE : TGDI_TA_LEFT | TGDI_TA_TOP);
                    // Twice at each place: made the first time, copied after.
                    for (TColorRef colour : colours)
                        for (const auto& [x, y] : places) {
                            canvas.DC->SetTextColor(colour);
                            canvas.DC->TextOut(x, y, text);
                            DrawDirectly(expected, lf, x, y, text, centre, colour);
                        }
                    const bool same = SameImage(canvas.Img, expected);
                    if (!same) {
                        for (int yy = 0; yy < 128; ++yy)
                            for (int xx = 0; xx < 128; ++xx)
                                if (canvas.Img.pixel(xx, yy) != expected.pixel(xx, yy))
                                    std::printf("DBG %d %d: %08x vs %08x\n", xx, yy, canvas.Img.pixel(xx, yy), expected.pixel(xx, yy));
                        SaveImage(canvas.Img, "stamps-" + std::to_string(index));
                        SaveImage(expected, "stamps-" + std::to_string(index) + "-expected");
                    }
                    EXPECT_TRUE(SameImage(canvas.Img, expected));
                    EXPECT_GT(Changed(canvas.Img, background), 10) << "the text is drawn";
                    ++index;
                }
}

} // namespace
} // namespace tarn::test
