#include "CitySupport.h"

#include "data/LayerDraw.h"

#include <algorithm>
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

TCityView::TCityView(const std::string& project, int32_t width, int32_t height) : Surface(width, height)
{
    Surface.SetMmPerPixel(0.25);
    Model = std::make_unique<TModel>();
    Model->ProgramDir = std::filesystem::path(project).parent_path().string();
    View = std::make_unique<TView>(&Surface);
    Model->AttachView(*View);
    Model->OpenFile(project);
    ShowAll();
}

void TCityView::Show(double x, double y, double denominator)
{
    const TRect client = Surface.ClientRect();
    View->Scale = denominator * View->MmPerPixel;
    const double hw = client.Right / 2.0 * View->Scale, hh = client.Bottom / 2.0 * View->Scale;
    View->WorldRect = TRect{int32_t(x * 1000 - hw), int32_t(y * 1000 + hh), int32_t(x * 1000 + hw),
                            int32_t(y * 1000 - hh)};
    Model->RefreshViews();
}

void TCityView::ShowAll()
{
    const TRect r = Model->ProjectRect();
    const TRect client = Surface.ClientRect();
    const double w = double(r.Right) - r.Left, h = double(r.Top) - r.Bottom;
    const double scale = std::max(w / client.Right, h / client.Bottom) * 1.02;
    Show((r.Left + w / 2) / 1000, (r.Bottom + h / 2) / 1000, scale / View->MmPerPixel);
}

QImage TCityView::Draw()
{
    TDeviceContext* dc = Surface.GetDC();
    TGdiRef<TBrush> white = TBrush::CreateSolid(Rgb(255, 255, 255));
    dc->FillRect(Surface.ClientRect(), white);
    Model->SetHitToleranceFor(*View);
    Model->FillDrawContext(*View, dc);
    DrawMap(*View->Map, View->Context);
    Surface.ReleaseDC(dc);
    return Surface.Image().copy();
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
