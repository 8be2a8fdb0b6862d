#include "CitySupport.h"

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
