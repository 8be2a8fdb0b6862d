#pragma once
// The demo city written by mkcity into a temporary folder, and a model with
// a view on a fixed surface that draws it.
#include "../data/TestSupport.h"
#include "model/Models.h"
#include "tools/City.h"

#include <QImage>

#include <memory>
#include <string>

namespace tarn::test {

// A city folder; MakeCity with the given size and seed.
struct TCityFolder {
    explicit TCityFolder(int32_t objects = 20000, uint32_t seed = 1, bool force = false);
    TTempDir Dir;
    city::TCityReport Report;
    std::string File(const std::string& name) const { return Dir.File(name); }
};

// The default city, made once for the whole run (read only: copy it first
// to change it).
const TCityFolder& SharedCity();

// A model with a view of width x height pixels (0.25 mm a pixel unless
// given) on a project of the folder.
struct TCityView {
    TCityView(const std::string& project, int32_t width = 1600, int32_t height = 1000, double mmPerPixel = 0.25);
    // The view centred on a world point (metres) at 1:denominator, through
    // the model's navigation (the level of detail follows).
    void Show(double x, double y, double denominator);
    // The whole project in the view (ZoomAll).
    void ShowAll();
    double Denominator() const { return View->Scale / View->MmPerPixel; }
    // The view drawn by the model (PaintView) on its white window.
    QImage Draw();

    TWindowSurface Surface;
    std::unique_ptr<TModel> Model;
    std::unique_ptr<TView> View;
};

// Writes the image under the build folder; answers its path.
std::string SaveImage(const QImage& image, const std::string& name);
// The share of pixels that are not white.
double InkShare(const QImage& image);

} // namespace tarn::test
