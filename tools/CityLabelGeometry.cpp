// Geometry of label placement and the advance widths of the label font.
#include "CityLabelGeometry.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace tarn::city {

namespace {

// Advance widths of DejaVu Sans in thousandths of an em, regular and bold
// (the oblique face shares the regular widths): the printable ASCII
// characters from the blank, then А to я, then Ё, ё, №, « and ».
constexpr std::array<int16_t, 164> Regular = {
    318, 401, 460, 838, 636, 950, 780, 275, 390, 390, 500, 838, 318, 361, 318, 337,
    636, 636, 636, 636, 636, 636, 636, 636, 636, 636, 337, 337, 838, 838, 838, 531,
    1000, 684, 686, 698, 770, 632, 575, 775, 752, 295, 295, 656, 557, 863, 748, 787,
    603, 787, 695, 635, 611, 732, 684, 989, 685, 611, 685, 390, 337, 390, 838, 500,
    500, 613, 635, 550, 635, 615, 352, 635, 634, 278, 278, 579, 278, 974, 634, 612,
    635, 635, 411, 521, 392, 634, 592, 818, 592, 592, 525, 636, 337, 636, 838, 684,
    686, 686, 610, 781, 632, 1077, 641, 748, 748, 710, 752, 863, 752, 787, 752, 603,
    698, 611, 609, 861, 685, 776, 686, 1069, 1094, 833, 882, 686, 698, 1080, 695, 613,
    617, 589, 525, 691, 615, 901, 532, 650, 650, 604, 639, 754, 654, 612, 654, 635,
    550, 583, 592, 855, 592, 681, 591, 915, 942, 707, 790, 589, 549, 842, 602, 632,
    615, 1040, 612, 612,
};
constexpr std::array<int16_t, 164> Bold = {
    348, 456, 521, 838, 696, 1002, 872, 306, 457, 457, 523, 838, 380, 415, 380, 365,
    696, 696, 696, 696, 696, 696, 696, 696, 696, 696, 400, 400, 838, 838, 838, 580,
    1000, 774, 762, 734, 830, 683, 683, 821, 837, 372, 372, 775, 637, 995, 837, 850,
    733, 850, 770, 720, 682, 812, 774, 1103, 771, 724, 725, 457, 365, 457, 838, 500,
    500, 675, 716, 593, 716, 678, 435, 716, 712, 343, 343, 665, 343, 1042, 712, 687,
    716, 716, 493, 595, 478, 712, 652, 924, 645, 652, 582, 712, 365, 712, 838, 774,
    762, 762, 637, 891, 683, 1224, 710, 837, 837, 817, 831, 995, 837, 850, 837, 733,
    734, 682, 771, 992, 771, 928, 808, 1235, 1326, 939, 1036, 762, 734, 1174, 770, 675,
    698, 633, 522, 808, 678, 995, 581, 701, 701, 679, 732, 817, 691, 687, 691, 716,
    593, 580, 652, 992, 645, 741, 687, 1062, 1105, 751, 904, 632, 593, 972, 642, 683,
    678, 1203, 646, 646,
};

int WidthIndex(char32_t c)
{
    if (c >= 0x20 && c < 0x7F) return int(c - 0x20);
    if (c >= 0x410 && c <= 0x44F) return 95 + int(c - 0x410);
    switch (c) {
    case 0x401: return 159;
    case 0x451: return 160;
    case 0x2116: return 161;
    case 0xAB: return 162;
    case 0xBB: return 163;
    default: return -1;
    }
}

} // namespace

double LabelEms(const std::string& utf8, bool bold)
{
    double w = 0;
    for (std::size_t i = 0; i < utf8.size();) {
        const int k = WidthIndex(NextCodePoint(utf8, i));
        w += (k < 0 ? 1000 : (bold ? Bold : Regular)[std::size_t(k)]) / 1000.0;
    }
    return w;
}

int32_t ReadableTenths(TPt dir)
{
    double deg = std::atan2(dir.Y, dir.X) * 180 / Pi;
    if (deg > 90) deg -= 180;
    if (deg <= -90) deg += 180;
    if (std::fabs(deg) < 1.5) return 0;
    if (std::fabs(deg) > 88.5) return 900;
    // Steep ones read upwards, as upright ones do.
    if (deg * 10 < -SteepTenths) deg += 180;
    return int32_t(std::lround(deg * 10));
}

namespace labels {

TPt TBox::Corner(int k) const
{
    switch (k & 3) {
    case 0: return At(A0, B0);
    case 1: return At(A1, B0);
    case 2: return At(A1, B1);
    default: return At(A0, B1);
    }
}

void TBox::Bounds(double& x0, double& y0, double& x1, double& y1) const
{
    x0 = y0 = 1e300;
    x1 = y1 = -1e300;
    for (int k = 0; k < 4; ++k) {
        const TPt p = Corner(k);
        x0 = std::min(x0, p.X);
        y0 = std::min(y0, p.Y);
        x1 = std::max(x1, p.X);
        y1 = std::max(y1, p.Y);
    }
}

namespace {

// Whether the projections of the two boxes on the axis are apart.
bool Apart(const TBox& a, const TBox& b, TPt axis)
{
    double a0 = 1e300, a1 = -1e300, b0 = 1e300, b1 = -1e300;
    for (int k = 0; k < 4; ++k) {
        const double pa = Dot(a.Corner(k), axis), pb = Dot(b.Corner(k), axis);
        a0 = std::min(a0, pa);
        a1 = std::max(a1, pa);
        b0 = std::min(b0, pb);
        b1 = std::max(b1, pb);
    }
    return a1 <= b0 || b1 <= a0;
}

} // namespace

bool Overlap(const TBox& a, const TBox& b)
{
    return !Apart(a, b, a.U) && !Apart(a, b, Perp(a.U)) && !Apart(a, b, b.U) && !Apart(a, b, Perp(b.U));
}

bool Touches(const TBox& b, TPt p, TPt q, double r)
{
    // The segment in the box's frame, clipped to the box grown by r.
    const TPt v = Perp(b.U);
    const double pa = Dot(p - b.O, b.U), pb = Dot(p - b.O, v);
    const double da = Dot(q - b.O, b.U) - pa, db = Dot(q - b.O, v) - pb;
    double t0 = 0, t1 = 1;
    auto clip = [&](double d, double lo, double hi, double at) {
        if (std::fabs(d) < 1e-12) return at >= lo && at <= hi;
        double e0 = (lo - at) / d, e1 = (hi - at) / d;
        if (e0 > e1) std::swap(e0, e1);
        t0 = std::max(t0, e0);
        t1 = std::min(t1, e1);
        return t0 <= t1;
    };
    return clip(da, b.A0 - r, b.A1 + r, pa) && clip(db, b.B0 - r, b.B1 + r, pb);
}

bool InsideRing(const TBox& b, const TPath& ring)
{
    for (int k = 0; k < 4; ++k)
        if (!city::InsideRing(b.Corner(k), ring)) return false;
    return true;
}

bool TBoxIndex::Free(const TBox& b) const
{
    double x0, y0, x1, y1;
    b.Bounds(x0, y0, x1, y1);
    if (++Stamp == 0) std::fill(Seen.begin(), Seen.end(), 0u), Stamp = 1;
    bool free = true;
    Grid.Visit(x0, y0, x1, y1, [&](int64_t key) {
        if (!free) return;
        const auto it = Cells.find(key);
        if (it == Cells.end()) return;
        for (int32_t id : it->second) {
            if (Seen[std::size_t(id)] == Stamp) continue;
            Seen[std::size_t(id)] = Stamp;
            if (Overlap(b, Boxes[std::size_t(id)])) {
                free = false;
                return;
            }
        }
    });
    return free;
}

void TBoxIndex::Add(const TBox& b)
{
    const int32_t id = int32_t(Boxes.size());
    Boxes.push_back(b);
    Seen.push_back(0);
    double x0, y0, x1, y1;
    b.Bounds(x0, y0, x1, y1);
    Grid.Visit(x0, y0, x1, y1, [&](int64_t key) { Cells[key].push_back(id); });
}

TLineIndex::TLineIndex(const std::vector<TLabelLine>& lines, double cell) : Grid(cell)
{
    for (const TLabelLine& l : lines)
        for (std::size_t k = 1; k < l.Line.size(); ++k) {
            const TPiece piece{l.Line[k - 1], l.Line[k], l.HalfMetres, l.HalfPixels, l.Link, l.LastBand};
            const int32_t id = int32_t(Pieces.size());
            Pieces.push_back(piece);
            MaxMetres = std::max(MaxMetres, l.HalfMetres);
            MaxPixels = std::max(MaxPixels, l.HalfPixels);
            Grid.Visit(std::min(piece.P.X, piece.Q.X), std::min(piece.P.Y, piece.Q.Y), std::max(piece.P.X, piece.Q.X),
                       std::max(piece.P.Y, piece.Q.Y), [&](int64_t key) { Cells[key].push_back(id); });
        }
    Seen.assign(Pieces.size(), 0);
}

bool TLineIndex::Clear(const TBox& b, int link, double mpp, int band) const
{
    double x0, y0, x1, y1;
    b.Bounds(x0, y0, x1, y1);
    const double reach = MaxMetres + MaxPixels * mpp;
    if (++Stamp == 0) std::fill(Seen.begin(), Seen.end(), 0u), Stamp = 1;
    bool clear = true;
    Grid.Visit(x0 - reach, y0 - reach, x1 + reach, y1 + reach, [&](int64_t key) {
        if (!clear) return;
        const auto it = Cells.find(key);
        if (it == Cells.end()) return;
        for (int32_t id : it->second) {
            if (Seen[std::size_t(id)] == Stamp) continue;
            Seen[std::size_t(id)] = Stamp;
            const TPiece& p = Pieces[std::size_t(id)];
            if ((link != 0 && p.Link == link) || p.LastBand < band) continue;
            if (Touches(b, p.P, p.Q, p.HalfMetres + p.HalfPixels * mpp)) {
                clear = false;
                return;
            }
        }
    });
    return clear;
}

} // namespace labels

} // namespace tarn::city
