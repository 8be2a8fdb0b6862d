#pragma once
// The demo city written by mkcity into a temporary folder, and a model with
// a view on a fixed surface that draws it.
#include "../data/TestSupport.h"
#include "model/Models.h"
#include "tools/City.h"
#include "tools/CityLabelGeometry.h"

#include <QImage>

#include <memory>
#include <string>
#include <vector>

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

// A label as drawn: its layer, its text and its box in window pixels.
struct TDrawnLabel {
    std::string Layer;  // UTF-8
    std::string Text;
    int32_t Link = 0;
    int32_t Angle = 0;
    int32_t Height = 0; // the text extent's height
    city::labels::TBox Box;
};
// The text objects the view's drawing draws: layers in their scale limit,
// objects marked in view, not hidden and with a text, boxes reaching into
// the window.
std::vector<TDrawnLabel> DrawnLabels(TCityView& v);

// A sign as drawn: its layer and its square in window pixels.
struct TDrawnSign {
    std::string Layer;
    city::labels::TBox Box;
};
std::vector<TDrawnSign> DrawnSigns(TCityView& v);

// A piece of a line drawn with a casing (the library's road and river
// lines), in window pixels: the half width of its inside and of its
// casing, and its object's link.
struct TCasedPiece {
    city::TPt P, Q;
    double Inner = 0, Outer = 0;
    int32_t Link = 0;
};
std::vector<TCasedPiece> CasedLines(TCityView& v);

// Writes the image under the build folder; answers its path.
std::string SaveImage(const QImage& image, const std::string& name);
// The share of pixels that are not white.
double InkShare(const QImage& image);

} // namespace tarn::test
