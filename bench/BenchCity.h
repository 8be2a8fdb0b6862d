#pragma once
// The demo city of 200 000 objects as mkcity writes it, made once per run
// in a temporary folder, and a model showing it in a 1920 x 1080 view.
#include "model/Models.h"
#include "platform/WindowSurface.h"
#include "tools/City.h"

#include <QImage>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

namespace tarn {

const std::string& DemoCityDir();
// A demo city of so many objects, made once per run (600 000: the large one).
const std::string& DemoCityDir(int32_t objects);

// The project opened into a model with one view (0.25 mm per pixel) at
// scale 0: the first fit loads a level. TARN_LOAD_THREADS sets the threads
// that read sheets.
struct TDemoView {
    TWindowSurface Surface{1920, 1080};
    std::unique_ptr<TModel> Model = std::make_unique<TModel>();
    std::unique_ptr<TView> View;
    TDemoView() : TDemoView(DemoCityDir()) {}
    explicit TDemoView(const std::string& dir)
    {
        Surface.SetMmPerPixel(0.25);
        Model->ProgramDir = dir;
        if (const char* t = std::getenv("TARN_LOAD_THREADS")) Model->LoadThreads = std::atoi(t);
        View = std::make_unique<TView>(&Surface);
        Model->AttachView(*View);
        Model->OpenFile(dir + "/" + city::ProjectFile);
    }
};

// With TARN_BENCH_PICTURES set, the window's picture goes to that folder
// as raw pixels (name.raw), for a byte-wise comparison between builds.
inline void KeepPicture(TWindowSurface& surface, const std::string& name)
{
    const char* dir = std::getenv("TARN_BENCH_PICTURES");
    if (!dir) return;
    const QImage& image = surface.Image();
    std::ofstream out(std::string(dir) + "/" + name + ".raw", std::ios::binary);
    out.write(reinterpret_cast<const char*>(image.constBits()), std::streamsize(image.sizeInBytes()));
}

} // namespace tarn
