#include "CitySupport.h"

#include "data/LayerWalk.h"
#include "platform/Cp1251.h"
#include "platform/gdi/Gdi.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>

namespace tarn::test {

TCityFolder::TCityFolder(int32_t objects, uint32_t seed, bool force)
{
    city::TCityOptions o;
    o.OutDir = Dir.Path();
    o.Objects = objects;
    o.Seed = seed;
    o.Force = force;
    o.SymbolLibrary = TARN_SYMBOLS_DLL;
    Report = city::MakeCity(o);
}

const TCityFolder& SharedCity()
{
    static const TCityFolder city;
    return city;
}

TCityView::TCityView(const std::string& project, int32_t width, int32_t height, double mmPerPixel)
    : Surface(width, height)
{
    Surface.SetMmPerPixel(mmPerPixel);
    Model = std::make_unique<TModel>();
    Model->ProgramDir = std::filesystem::path(project).parent_path().string();
    View = std::make_unique<TView>(&Surface);
    Model->AttachView(*View);
    Model->OpenFile(project);
    ShowAll();
}

void TCityView::Show(double x, double y, double denominator)
{
    const TPoint at{int32_t(std::lround(x * 1000)), int32_t(std::lround(y * 1000))};
    EXPECT_EQ(Model->ZoomAtPoint(*View, at, denominator), ResultDone);
}

void TCityView::ShowAll() { EXPECT_EQ(Model->ZoomAll(*View), ResultDone); }

QImage TCityView::Draw()
{
    EXPECT_EQ(Model->PaintView(*View), ResultDone);
    return Surface.Image().copy();
}

namespace {

// The visible layers the view's drawing draws at its scale, of the kinds asked.
std::vector<TCustomLayer*> DrawnLayers(const TView& view, bool (*kind)(int))
{
    const int64_t n = std::llround(view.Scale / view.MmPerPixel);
    std::vector<TCustomLayer*> layers, drawn;
    CollectLayers(*view.Map, false, layers);
    for (TCustomLayer* l : layers)
        if (kind(l->Kind) && l->ScaleLimit >= n) drawn.push_back(l);
    return drawn;
}

} // namespace

std::vector<TDrawnLabel> DrawnLabels(TCityView& v)
{
    std::vector<TDrawnLabel> out;
    const TView& view = *v.View;
    const double sizeScale = 1000.0 / view.Scale;
    TDeviceContext dc;
    for (TCustomLayer* l : DrawnLayers(view, IsTextKind)) {
        const bool own = (l->Flags & LayerFlagOwnAttributes) != 0;
        for (int32_t i = 0; i < l->Count; ++i) {
            const auto* t = dynamic_cast<const TText*>(l->Object(i));
            if (!t || t->Text.empty() || !(t->Flags() & ObjFlagInView) ||
                (t->Flags() & (ObjFlagHidden | ObjFlagTemporary)))
                continue;
            TLogFont lf = l->TextFont;
            const auto* ex = dynamic_cast<const TTextEx*>(t);
            const double height = own && ex ? ex->Size : lf.Height;
            lf.Height = int32_t(std::nearbyint(height * sizeScale / 10));
            if (std::abs(lf.Height) <= 4) continue;
            lf.Escapement = 0;
            auto font = TFont::Create(lf);
            dc.SelectFont(font);
            const TSize ext = dc.GetTextExtent(t->Text);
            int32_t sx = 0, sy = 0;
            v.Model->ViewWorldToScreen(view, t->X, t->Y, sx, sy);
            const double a = t->Angle / 10.0 * M_PI / 180;
            // Window y runs down: the text runs along (cos, -sin), its
            // letters stand against Perp of that.
            city::labels::TBox box{{double(sx), double(sy)}, {std::cos(a), -std::sin(a)}, 0, double(ext.Cx),
                                   -double(font->Ascent()), double(ext.Cy - font->Ascent())};
            double x0, y0, x1, y1;
            box.Bounds(x0, y0, x1, y1);
            if (x1 < 0 || y1 < 0 || x0 > v.Surface.Image().width() || y0 > v.Surface.Image().height()) continue;
            out.push_back({Cp1251ToUtf8(l->Name), Cp1251ToUtf8(t->Text), t->Attribute, t->Angle, ext.Cy, box});
        }
    }
    return out;
}

std::vector<TDrawnSign> DrawnSigns(TCityView& v)
{
    std::vector<TDrawnSign> out;
    const TView& view = *v.View;
    for (TCustomLayer* l : DrawnLayers(view, IsSignKind)) {
        const bool own = (l->Flags & LayerFlagOwnAttributes) != 0;
        for (int32_t i = 0; i < l->Count; ++i) {
            const TBaseObject* o = l->Object(i);
            if (!(o->Flags() & ObjFlagInView) || (o->Flags() & (ObjFlagHidden | ObjFlagTemporary))) continue;
            // Sizes as the layer drawing and the styled signs compute them.
            double size = std::nearbyint(2.0 * l->Style1 / 120 / view.MmPerPixel);
            if (const auto* ex = dynamic_cast<const TSignEx*>(o); own && ex)
                size = (o->Flags() & 0x08) ? std::nearbyint(ex->Size * (1000.0 / view.Scale) / 100)
                                           : std::nearbyint(ex->Size / 26.0 * view.MmPerPixel);
            int32_t sx = 0, sy = 0;
            v.Model->ViewWorldToScreen(view, o->X, o->Y, sx, sy);
            const double h = size / 2;
            if (sx + h < 0 || sy + h < 0 || sx - h > v.Surface.Image().width() || sy - h > v.Surface.Image().height())
                continue;
            out.push_back({Cp1251ToUtf8(l->Name), {{sx - h, sy - h}, {1, 0}, 0, 2 * h, 0, 2 * h}});
        }
    }
    return out;
}

std::vector<TCasedPiece> CasedLines(TCityView& v)
{
    std::vector<TCasedPiece> out;
    const TView& view = *v.View;
    const double sizeScale = 1000.0 / view.Scale;
    for (TCustomLayer* l : DrawnLayers(view, IsLineKind)) {
        const bool own = (l->Flags & LayerFlagOwnAttributes) != 0;
        for (int32_t i = 0; i < l->Count; ++i) {
            const auto* line = dynamic_cast<const TPolyLine*>(l->Object(i));
            if (!line || !(line->Flags() & ObjFlagInView)) continue;
            // The library's roads (1) and rivers (6) draw a casing one pixel
            // wide on each side of the width they are given.
            double given = 0;
            int32_t style = l->Style1;
            if (const auto* ex = dynamic_cast<const TPolyLineEx*>(line); own && ex) {
                style = ex->PenStyle;
                given = std::nearbyint(ex->Width * sizeScale / 10);
            } else {
                given = std::nearbyint(l->Style2 * sizeScale);
            }
            if (style != 101 && style != 106) continue;
            const double w = std::clamp(std::nearbyint(given / 10), 1.0, 200.0);
            std::vector<city::TPt> pts;
            for (const TPoint& p : line->Points) {
                int32_t sx = 0, sy = 0;
                v.Model->ViewWorldToScreen(view, p.X, p.Y, sx, sy);
                pts.push_back({double(sx), double(sy)});
            }
            for (std::size_t k = 1; k < pts.size(); ++k)
                out.push_back({pts[k - 1], pts[k], w / 2, w / 2 + 1, line->Attribute});
        }
    }
    return out;
}

std::string SaveImage(const QImage& image, const std::string& name)
{
    std::filesystem::create_directories(TARN_TEST_OUTPUT);
    const std::string path = std::string(TARN_TEST_OUTPUT) + "/" + name + ".png";
    image.save(QString::fromStdString(path));
    return path;
}

double InkShare(const QImage& image)
{
    int64_t ink = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) ink += (image.pixel(x, y) & 0xFFFFFF) != 0xFFFFFF;
    return double(ink) / (double(image.width()) * image.height());
}

} // namespace tarn::test
