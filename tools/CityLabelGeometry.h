#pragma once
// Geometry of label placement: turned boxes, whether two overlap or one
// comes near a line, and grids that find the boxes and line pieces near a
// place. Internal to the demo city's generator.
#include "CityGeometry.h"
#include "CityLabels.h"

#include <cmath>
#include <cstdint>
#include <unordered_map>
#include <vector>

namespace tarn::city::labels {

// A turned rectangle: from O, along U from A0 to A1 and across (Perp(U),
// to the left of U) from B0 to B1.
struct TBox {
    TPt O, U{1, 0};
    double A0 = 0, A1 = 0, B0 = 0, B1 = 0;
    TPt At(double a, double b) const { return O + U * a + Perp(U) * b; }
    TPt Corner(int k) const;  // anticlockwise from (A0, B0)
    TPt Centre() const { return At((A0 + A1) / 2, (B0 + B1) / 2); }
    void Bounds(double& x0, double& y0, double& x1, double& y1) const;
};

bool Overlap(const TBox& a, const TBox& b);
// Whether the segment comes within r of the box.
bool Touches(const TBox& b, TPt p, TPt q, double r);
// Whether every corner of the box lies inside the ring.
bool InsideRing(const TBox& b, const TPath& ring);

// Grid cells of a rectangle, for the indexes below.
class TCells {
public:
    explicit TCells(double cell) : Cell(cell) {}
    template <class F>
    void Visit(double x0, double y0, double x1, double y1, F&& f) const
    {
        const int64_t i0 = Index(x0), i1 = Index(x1), j0 = Index(y0), j1 = Index(y1);
        for (int64_t j = j0; j <= j1; ++j)
            for (int64_t i = i0; i <= i1; ++i) f((i << 32) ^ (j & 0xFFFFFFFF));
    }

private:
    int64_t Index(double v) const { return int64_t(std::floor(v / Cell)); }
    double Cell;
};

// The boxes placed in one band.
class TBoxIndex {
public:
    explicit TBoxIndex(double cell) : Grid(cell) {}
    bool Free(const TBox& b) const;
    void Add(const TBox& b);

private:
    TCells Grid;
    std::vector<TBox> Boxes;
    std::unordered_map<int64_t, std::vector<int32_t>> Cells;
    mutable std::vector<uint32_t> Seen;
    mutable uint32_t Stamp = 0;
};

// Pieces of lines that labels keep off.
class TLineIndex {
public:
    TLineIndex(const std::vector<TLabelLine>& lines, double cell);
    // Whether the box keeps off every line of the band but those of its
    // own street (link 0: none), with pixels of `mpp` metres.
    bool Clear(const TBox& b, int link, double mpp, int band) const;

private:
    struct TPiece {
        TPt P, Q;
        double HalfMetres, HalfPixels;
        int Link;
        int LastBand;
    };
    TCells Grid;
    std::vector<TPiece> Pieces;
    std::unordered_map<int64_t, std::vector<int32_t>> Cells;
    double MaxMetres = 0, MaxPixels = 0;
    mutable std::vector<uint32_t> Seen;
    mutable uint32_t Stamp = 0;
};

} // namespace tarn::city::labels
