// The point signs: a coloured badge with a white pictogram for the city's
// places, and bold shapes of their own for the user signs 37 to 45.
#include "Signs.h"

#include <algorithm>

namespace tarnsym {

namespace {

using P = TPt;
constexpr TgdiColor W = White;

enum TBadge { Round, Square, Plain };

struct TSign {
    TBadge Badge;
    TgdiColor Color;
    void (*Picture)(const TFrame& f, TgdiColor badge);
};

// ---- pictograms, in units of half the sign's size ----

void Hospital(const TFrame& f, TgdiColor)
{
    const TgdiColor red = Rgb(220, 30, 40);
    f.Box(-0.18, -0.6, 0.18, 0.6, red);
    f.Box(-0.6, -0.18, 0.6, 0.18, red);
}
void School(const TFrame& f, TgdiColor)
{
    const P left[] = {{-0.68, -0.38}, {-0.06, -0.26}, {-0.06, 0.52}, {-0.68, 0.4}};
    const P right[] = {{0.06, -0.26}, {0.68, -0.38}, {0.68, 0.4}, {0.06, 0.52}};
    f.Poly(left, 4, W);
    f.Poly(right, 4, W);
}
void Shop(const TFrame& f, TgdiColor)
{
    f.Box(-0.45, -0.15, 0.45, 0.6, W);
    const P handle[] = {{-0.25, -0.15}, {-0.25, -0.48}, {0.25, -0.48}, {0.25, -0.15}};
    f.Lines(handle, 4, W, 0.1);
}
void Bank(const TFrame& f, TgdiColor) { f.Text("$", 0, 0, 1.05, W); }
void Post(const TFrame& f, TgdiColor badge)
{
    f.Box(-0.62, -0.38, 0.62, 0.42, W);
    const P flap[] = {{-0.62, -0.38}, {0, 0.08}, {0.62, -0.38}};
    f.Lines(flap, 3, badge, 0.09);
}
void Pharmacy(const TFrame& f, TgdiColor)
{
    f.Box(-0.15, -0.58, 0.15, 0.58, W);
    f.Box(-0.58, -0.15, 0.58, 0.15, W);
}
void Church(const TFrame& f, TgdiColor)
{
    f.Box(-0.36, -0.05, 0.36, 0.62, W);
    const P roof[] = {{-0.48, -0.02}, {0, -0.42}, {0.48, -0.02}};
    f.Poly(roof, 3, W);
    f.Line(0, -0.42, 0, -0.82, W, 0.09);
    f.Line(-0.16, -0.66, 0.16, -0.66, W, 0.09);
}
void Museum(const TFrame& f, TgdiColor)
{
    const P pediment[] = {{-0.66, -0.24}, {0, -0.62}, {0.66, -0.24}};
    f.Poly(pediment, 3, W);
    for (double c : {-0.41, 0.0, 0.41}) f.Box(c - 0.1, -0.16, c + 0.1, 0.42, W);
    f.Box(-0.66, 0.46, 0.66, 0.62, W);
}
void Theatre(const TFrame& f, TgdiColor badge)
{
    f.Oval(-0.52, -0.58, 0.52, 0.62, W);
    f.Oval(-0.34, -0.26, -0.08, -0.06, badge);
    f.Oval(0.08, -0.26, 0.34, -0.06, badge);
    const P mouth[] = {{-0.26, 0.18}, {0, 0.34}, {0.26, 0.18}};
    f.Lines(mouth, 3, badge, 0.09);
}
void Hotel(const TFrame& f, TgdiColor)
{
    f.Box(-0.68, -0.42, -0.52, 0.58, W);
    f.Box(-0.68, 0.04, 0.68, 0.36, W);
    f.Box(0.52, 0.36, 0.68, 0.58, W);
    f.Box(-0.46, -0.14, -0.14, 0.0, W);
}
void Cafe(const TFrame& f, TgdiColor)
{
    f.Box(-0.48, -0.2, 0.24, 0.42, W);
    f.Oval(0.1, -0.1, 0.52, 0.28, None, W, 0.09);
    f.Box(-0.62, 0.48, 0.4, 0.58, W);
    f.Line(-0.24, -0.32, -0.14, -0.58, W, 0.07);
    f.Line(0.02, -0.32, 0.12, -0.58, W, 0.07);
}
void Bus(const TFrame& f, TgdiColor badge)
{
    f.Box(-0.56, -0.58, 0.56, 0.44, W);
    f.Box(-0.42, -0.44, 0.42, -0.04, badge);
    f.Disc(-0.32, 0.5, 0.13, W);
    f.Disc(0.32, 0.5, 0.13, W);
}
void Tram(const TFrame& f, TgdiColor badge)
{
    f.Box(-0.45, -0.34, 0.45, 0.6, W);
    f.Box(-0.32, -0.2, 0.32, 0.12, badge);
    const P bow[] = {{-0.26, -0.72}, {0, -0.34}, {0.26, -0.72}};
    f.Lines(bow, 3, W, 0.07);
    f.Line(-0.34, -0.72, 0.34, -0.72, W, 0.07);
}
void Railway(const TFrame& f, TgdiColor badge)
{
    const P front[] = {{-0.46, 0.52}, {-0.46, -0.36}, {-0.26, -0.62}, {0.26, -0.62}, {0.46, -0.36}, {0.46, 0.52}};
    f.Poly(front, 6, W);
    f.Box(-0.3, -0.42, 0.3, -0.06, badge);
    f.Disc(-0.24, 0.24, 0.09, badge);
    f.Disc(0.24, 0.24, 0.09, badge);
}
void Parking(const TFrame& f, TgdiColor) { f.Text("P", 0, 0, 1.25, W); }
void Fuel(const TFrame& f, TgdiColor badge)
{
    f.Box(-0.46, -0.56, 0.14, 0.62, W);
    f.Box(-0.35, -0.45, 0.03, -0.14, badge);
    const P hose[] = {{0.14, -0.3}, {0.46, -0.1}, {0.46, 0.36}, {0.3, 0.48}};
    f.Lines(hose, 4, W, 0.09);
}
void Police(const TFrame& f, TgdiColor badge)
{
    const P shield[] = {{-0.5, -0.56}, {0.5, -0.56}, {0.5, 0.04}, {0, 0.66}, {-0.5, 0.04}};
    f.Poly(shield, 5, W);
    P star[10];
    StarPoints(star, 5, 0, -0.06, 0.3, 0.13, 0);
    f.Poly(star, 10, badge);
}
void Fire(const TFrame& f, TgdiColor)
{
    const P flame[] = {{0, -0.72}, {0.36, -0.22}, {0.46, 0.24}, {0.22, 0.62}, {-0.22, 0.62},
                       {-0.46, 0.24}, {-0.32, -0.16}, {-0.12, 0.06}};
    f.Poly(flame, 8, W);
}
void Library(const TFrame& f, TgdiColor)
{
    f.Box(-0.56, -0.44, -0.3, 0.56, W);
    f.Box(-0.22, -0.6, 0.04, 0.56, W);
    const P leaning[] = {{0.12, -0.4}, {0.36, -0.48}, {0.64, 0.48}, {0.4, 0.56}};
    f.Poly(leaning, 4, W);
}
void Cinema(const TFrame& f, TgdiColor badge)
{
    f.Box(-0.62, -0.46, 0.62, 0.46, W);
    f.Box(-0.36, -0.24, 0.36, 0.24, badge);
    for (double c : {-0.42, 0.0, 0.42}) {
        f.Box(c - 0.08, -0.4, c + 0.08, -0.31, badge);
        f.Box(c - 0.08, 0.31, c + 0.08, 0.4, badge);
    }
}
void Restaurant(const TFrame& f, TgdiColor)
{
    f.Line(-0.3, -0.62, -0.3, 0.62, W, 0.1);
    f.Line(-0.48, -0.62, -0.48, -0.2, W, 0.07);
    f.Line(-0.12, -0.62, -0.12, -0.2, W, 0.07);
    f.Line(-0.48, -0.2, -0.12, -0.2, W, 0.07);
    const P knife[] = {{0.24, -0.62}, {0.46, -0.3}, {0.42, 0.02}, {0.36, 0.02}, {0.36, 0.62}, {0.24, 0.62}};
    f.Poly(knife, 6, W);
}
void Stadium(const TFrame& f, TgdiColor)
{
    f.Oval(-0.68, -0.42, 0.68, 0.42, None, W, 0.13);
    f.Oval(-0.34, -0.14, 0.34, 0.14, W);
}
void Park(const TFrame& f, TgdiColor)
{
    f.Disc(0, -0.2, 0.44, W);
    f.Box(-0.09, 0.14, 0.09, 0.66, W);
}
void Fountain(const TFrame& f, TgdiColor)
{
    f.Box(-0.62, 0.32, 0.62, 0.52, W);
    f.Line(0, 0.32, 0, -0.56, W, 0.1);
    const P left[] = {{0, -0.46}, {-0.36, -0.36}, {-0.5, 0.2}};
    const P right[] = {{0, -0.46}, {0.36, -0.36}, {0.5, 0.2}};
    f.Lines(left, 3, W, 0.08);
    f.Lines(right, 3, W, 0.08);
}
void Monument(const TFrame& f, TgdiColor)
{
    const P obelisk[] = {{0, -0.82}, {0.15, -0.6}, {0.22, 0.36}, {-0.22, 0.36}, {-0.15, -0.6}};
    f.Poly(obelisk, 5, W);
    f.Box(-0.46, 0.36, 0.46, 0.62, W);
}
void Telephone(const TFrame& f, TgdiColor)
{
    const P handset[] = {{-0.56, -0.34}, {-0.3, -0.58}, {-0.08, -0.3}, {-0.24, -0.14}, {0.14, 0.24},
                         {0.3, 0.08},    {0.58, 0.3},   {0.34, 0.56}, {-0.06, 0.42}, {-0.46, 0.02}};
    f.Poly(handset, 10, W);
}
void Information(const TFrame& f, TgdiColor)
{
    f.Disc(0, -0.44, 0.14, W);
    f.Box(-0.13, -0.18, 0.13, 0.56, W);
    f.Box(-0.24, 0.44, 0.24, 0.58, W);
}
void Toilet(const TFrame& f, TgdiColor) { f.Text("WC", 0, 0, 0.72, W); }
void Market(const TFrame& f, TgdiColor badge)
{
    const P awning[] = {{-0.66, -0.2}, {-0.5, -0.56}, {0.5, -0.56}, {0.66, -0.2}};
    f.Poly(awning, 4, W);
    f.Box(-0.5, -0.14, 0.5, 0.58, W);
    f.Box(-0.5, 0.06, 0.5, 0.16, badge);
    f.Line(-0.2, -0.52, -0.26, -0.24, badge, 0.06);
    f.Line(0.2, -0.52, 0.26, -0.24, badge, 0.06);
}
void Kindergarten(const TFrame& f, TgdiColor)
{
    f.Disc(0, -0.46, 0.19, W);
    const P body[] = {{0, -0.26}, {0.38, 0.36}, {-0.38, 0.36}};
    f.Poly(body, 3, W);
    f.Line(-0.15, 0.34, -0.15, 0.66, W, 0.1);
    f.Line(0.15, 0.34, 0.15, 0.66, W, 0.1);
}
void University(const TFrame& f, TgdiColor)
{
    const P board[] = {{0, -0.56}, {0.72, -0.26}, {0, 0.04}, {-0.72, -0.26}};
    f.Poly(board, 4, W);
    const P cap[] = {{-0.4, -0.08}, {0.4, -0.08}, {0.4, 0.3}, {0, 0.46}, {-0.4, 0.3}};
    f.Poly(cap, 5, W);
    f.Line(0.56, -0.2, 0.56, 0.36, W, 0.06);
}
void TownHall(const TFrame& f, TgdiColor badge)
{
    f.Box(-0.56, -0.14, 0.56, 0.62, W);
    f.Box(-0.16, -0.5, 0.16, -0.14, W);
    f.Line(0, -0.5, 0, -0.86, W, 0.06);
    const P flag[] = {{0, -0.86}, {0.32, -0.76}, {0, -0.66}};
    f.Poly(flag, 3, W);
    f.Box(-0.1, 0.3, 0.1, 0.62, badge);
}
void Court(const TFrame& f, TgdiColor)
{
    f.Line(0, -0.62, 0, 0.52, W, 0.09);
    f.Line(-0.56, -0.46, 0.56, -0.46, W, 0.09);
    for (double s : {-1.0, 1.0}) {
        const P strings[] = {{s * 0.76, 0.04}, {s * 0.56, -0.46}, {s * 0.36, 0.04}};
        f.Lines(strings, 3, W, 0.05);
        const P pan[] = {{s * 0.78, 0.04}, {s * 0.34, 0.04}, {s * 0.44, 0.2}, {s * 0.68, 0.2}};
        f.Poly(pan, 4, W);
    }
    f.Box(-0.32, 0.5, 0.32, 0.64, W);
}
void Factory(const TFrame& f, TgdiColor)
{
    const P shape[] = {{-0.66, 0.56}, {-0.66, -0.1}, {-0.3, 0.16}, {-0.3, -0.1}, {0.04, 0.16},
                       {0.04, -0.1},  {0.38, 0.16},  {0.38, -0.72}, {0.6, -0.72}, {0.6, 0.56}};
    f.Poly(shape, 10, W);
}
void Airport(const TFrame& f, TgdiColor)
{
    const P plane[] = {{0, -0.76},    {0.09, -0.6},  {0.09, -0.16}, {0.72, 0.14},  {0.72, 0.28}, {0.09, 0.12},
                       {0.09, 0.46},  {0.28, 0.6},   {0.28, 0.7},   {0, 0.62},     {-0.28, 0.7}, {-0.28, 0.6},
                       {-0.09, 0.46}, {-0.09, 0.12}, {-0.72, 0.28}, {-0.72, 0.14}, {-0.09, -0.16}, {-0.09, -0.6}};
    f.Poly(plane, 18, W);
}
void Port(const TFrame& f, TgdiColor)
{
    f.Disc(0, -0.52, 0.16, None, W, 0.08);
    f.Line(0, -0.36, 0, 0.58, W, 0.1);
    f.Line(-0.3, -0.2, 0.3, -0.2, W, 0.09);
    const P hook[] = {{-0.56, 0.14}, {-0.42, 0.44}, {0, 0.6}, {0.42, 0.44}, {0.56, 0.14}};
    f.Lines(hook, 5, W, 0.1);
}

// ---- user signs: bold shapes, no badge ----

const TgdiColor Ink = Rgb(40, 40, 40);

void UserFlag(const TFrame& f, TgdiColor c)
{
    f.Line(-0.4, -0.8, -0.4, 0.8, Ink, 0.11);
    const P flag[] = {{-0.36, -0.8}, {0.66, -0.46}, {-0.36, -0.1}};
    f.Poly(flag, 3, c, Tint(c, -0.4), 0.06);
}
void UserStar(const TFrame& f, TgdiColor c)
{
    P star[10];
    StarPoints(star, 5, 0, 0.06, 0.9, 0.38, 0);
    f.Poly(star, 10, c, Tint(c, -0.45), 0.07);
}
void UserArrow(const TFrame& f, TgdiColor c)
{
    const P arrow[] = {{0, -0.84}, {0.66, -0.1}, {0.24, -0.1}, {0.24, 0.76}, {-0.24, 0.76}, {-0.24, -0.1}, {-0.66, -0.1}};
    f.Poly(arrow, 7, c, Tint(c, -0.45), 0.07);
}
void UserHouse(const TFrame& f, TgdiColor c)
{
    const P house[] = {{0, -0.8}, {0.78, -0.04}, {0.54, -0.04}, {0.54, 0.74}, {-0.54, 0.74}, {-0.54, -0.04}, {-0.78, -0.04}};
    f.Poly(house, 7, c, Tint(c, -0.45), 0.07);
    f.Box(-0.15, 0.26, 0.15, 0.74, W);
}
void UserHeart(const TFrame& f, TgdiColor c)
{
    P heart[32];
    for (int i = 0; i < 32; ++i) {
        double t = 6.283185307179586 * i / 32;
        double s = std::sin(t);
        heart[i] = {16 * s * s * s / 17.5,
                    -(13 * std::cos(t) - 5 * std::cos(2 * t) - 2 * std::cos(3 * t) - std::cos(4 * t)) / 17.5 - 0.06};
    }
    f.Poly(heart, 32, c, Tint(c, -0.45), 0.07);
}
void UserWarning(const TFrame& f, TgdiColor c)
{
    const P tri[] = {{0, -0.84}, {0.86, 0.7}, {-0.86, 0.7}};
    f.Poly(tri, 3, c, Tint(c, -0.45), 0.07);
    f.Box(-0.09, -0.34, 0.09, 0.24, Ink);
    f.Disc(0, 0.44, 0.1, Ink);
}
void UserTarget(const TFrame& f, TgdiColor c)
{
    f.Disc(0, 0, 0.86, c, Tint(c, -0.45), 0.07);
    f.Disc(0, 0, 0.56, W);
    f.Disc(0, 0, 0.27, c);
}
void UserCross(const TFrame& f, TgdiColor c)
{
    f.Box(-0.76, -0.76, 0.76, 0.76, c, Tint(c, -0.5), 0.07);
    f.Line(-0.4, -0.4, 0.4, 0.4, W, 0.16);
    f.Line(0.4, -0.4, -0.4, 0.4, W, 0.16);
}
void UserCheck(const TFrame& f, TgdiColor c)
{
    f.Disc(0, 0, 0.86, c, Tint(c, -0.45), 0.07);
    const P tick[] = {{-0.42, 0.0}, {-0.1, 0.32}, {0.46, -0.32}};
    f.Lines(tick, 3, W, 0.17);
}

// ---- more places ----

void Dentist(const TFrame& f, TgdiColor)
{
    const P tooth[] = {{-0.46, -0.5}, {-0.16, -0.62}, {0, -0.52}, {0.16, -0.62}, {0.46, -0.5}, {0.46, -0.1}, {0.3, 0.62},
                       {0.15, 0.62},  {0.05, 0.16},   {-0.05, 0.16}, {-0.15, 0.62}, {-0.3, 0.62}, {-0.46, -0.1}};
    f.Poly(tooth, 13, Rgb(40, 110, 200));
}
void Veterinary(const TFrame& f, TgdiColor)
{
    f.Disc(0, 0.24, 0.32, W);
    f.Disc(-0.44, -0.16, 0.14, W);
    f.Disc(-0.16, -0.44, 0.14, W);
    f.Disc(0.16, -0.44, 0.14, W);
    f.Disc(0.44, -0.16, 0.14, W);
}
void Barber(const TFrame& f, TgdiColor)
{
    f.Disc(-0.3, 0.42, 0.18, None, W, 0.08);
    f.Disc(0.3, 0.42, 0.18, None, W, 0.08);
    f.Line(-0.2, 0.28, 0.36, -0.66, W, 0.1);
    f.Line(0.2, 0.28, -0.36, -0.66, W, 0.1);
}
void Laundry(const TFrame& f, TgdiColor)
{
    const P shirt[] = {{-0.26, -0.6}, {-0.72, -0.3}, {-0.52, 0.02}, {-0.36, -0.08}, {-0.36, 0.62}, {0.36, 0.62},
                       {0.36, -0.08}, {0.52, 0.02},  {0.72, -0.3},  {0.26, -0.6},   {0, -0.44}};
    f.Poly(shirt, 11, W);
}
void Atm(const TFrame& f, TgdiColor badge)
{
    f.Box(-0.62, -0.38, 0.62, 0.42, W);
    f.Box(-0.62, -0.22, 0.62, -0.06, badge);
    f.Box(-0.46, 0.1, -0.2, 0.28, badge);
}
void Taxi(const TFrame& f, TgdiColor)
{
    const P body[] = {{-0.66, 0.3}, {-0.66, 0.0}, {-0.42, -0.06}, {-0.26, -0.36}, {0.26, -0.36}, {0.42, -0.06}, {0.66, 0.0}, {0.66, 0.3}};
    f.Poly(body, 8, Ink);
    f.Disc(-0.36, 0.32, 0.15, Ink);
    f.Disc(0.36, 0.32, 0.15, Ink);
    f.Box(-0.16, -0.62, 0.16, -0.44, Ink);
}
void Bicycle(const TFrame& f, TgdiColor)
{
    f.Disc(-0.4, 0.22, 0.28, None, W, 0.08);
    f.Disc(0.4, 0.22, 0.28, None, W, 0.08);
    const P frame[] = {{-0.4, 0.22}, {-0.06, -0.2}, {0.26, -0.2}, {0.4, 0.22}};
    f.Lines(frame, 4, W, 0.08);
    f.Line(-0.06, -0.2, 0.08, 0.22, W, 0.08);
    f.Line(-0.18, -0.36, 0.04, -0.36, W, 0.08);
    f.Line(0.22, -0.42, 0.26, -0.2, W, 0.08);
}
void Mosque(const TFrame& f, TgdiColor badge)
{
    f.Disc(0, -0.04, 0.36, W);
    f.Box(-0.46, 0.06, 0.46, 0.58, W);
    f.Disc(0, -0.62, 0.17, W);
    f.Disc(0.08, -0.67, 0.14, badge);
}
void Pool(const TFrame& f, TgdiColor)
{
    for (double dv : {0.0, 0.34}) {
        const P wave[] = {{-0.66, -0.04 + dv}, {-0.44, -0.2 + dv}, {-0.22, -0.04 + dv}, {0, -0.2 + dv},
                          {0.22, -0.04 + dv},  {0.44, -0.2 + dv},  {0.66, -0.04 + dv}};
        f.Lines(wave, 7, W, 0.1);
    }
    f.Disc(0.24, -0.52, 0.14, W);
}
void Cemetery(const TFrame& f, TgdiColor)
{
    f.Box(-0.08, -0.66, 0.08, 0.3, W);
    f.Box(-0.34, -0.42, 0.34, -0.27, W);
    const P mound[] = {{-0.56, 0.56}, {-0.3, 0.3}, {0.3, 0.3}, {0.56, 0.56}};
    f.Poly(mound, 4, W);
}
void Zoo(const TFrame& f, TgdiColor badge)
{
    f.Disc(-0.36, -0.34, 0.18, W);
    f.Disc(0.36, -0.34, 0.18, W);
    f.Disc(0, 0.08, 0.46, W);
    f.Disc(-0.16, 0, 0.07, badge);
    f.Disc(0.16, 0, 0.07, badge);
    f.Disc(0, 0.22, 0.1, badge);
}
void CarService(const TFrame& f, TgdiColor badge)
{
    f.Line(-0.46, 0.46, 0.18, -0.18, W, 0.17);
    f.Disc(0.3, -0.3, 0.26, W);
    f.Disc(0.44, -0.44, 0.12, badge);
}
void Beach(const TFrame& f, TgdiColor)
{
    P canopy[13];
    for (int i = 0; i <= 12; ++i) {
        double a = 3.141592653589793 * i / 12;
        canopy[i] = {-0.66 * std::cos(a), -0.06 - 0.5 * std::sin(a)};
    }
    f.Poly(canopy, 13, W);
    f.Line(0, -0.06, 0, 0.62, W, 0.08);
    f.Line(-0.6, 0.66, 0.6, 0.66, W, 0.09);
}
void Viewpoint(const TFrame& f, TgdiColor badge)
{
    const P lens[] = {{-0.72, 0}, {-0.36, -0.3}, {0, -0.38}, {0.36, -0.3}, {0.72, 0}, {0.36, 0.3}, {0, 0.38}, {-0.36, 0.3}};
    f.Poly(lens, 8, W);
    f.Disc(0, 0, 0.23, badge);
    f.Disc(-0.07, -0.07, 0.07, W);
}
void Gym(const TFrame& f, TgdiColor)
{
    f.Box(-0.46, -0.07, 0.46, 0.07, W);
    f.Box(-0.66, -0.36, -0.46, 0.36, W);
    f.Box(0.46, -0.36, 0.66, 0.36, W);
    f.Box(-0.8, -0.2, -0.66, 0.2, W);
    f.Box(0.66, -0.2, 0.8, 0.2, W);
}

const TSign Signs[60] = {
    {Round, Rgb(255, 255, 255), Hospital},   // 1 hospital
    {Round, Rgb(30, 100, 190), School},      // 2 school
    {Round, Rgb(235, 130, 20), Shop},        // 3 shop
    {Round, Rgb(25, 120, 60), Bank},         // 4 bank
    {Round, Rgb(30, 80, 170), Post},         // 5 post office
    {Round, Rgb(20, 150, 70), Pharmacy},     // 6 pharmacy
    {Round, Rgb(140, 90, 50), Church},       // 7 church
    {Round, Rgb(120, 60, 150), Museum},      // 8 museum
    {Round, Rgb(160, 40, 90), Theatre},      // 9 theatre
    {Round, Rgb(90, 70, 160), Hotel},        // 10 hotel
    {Round, Rgb(125, 80, 45), Cafe},         // 11 cafe
    {Square, Rgb(20, 100, 200), Bus},        // 12 bus stop
    {Square, Rgb(200, 40, 40), Tram},        // 13 tram stop
    {Square, Rgb(40, 40, 110), Railway},     // 14 railway station
    {Square, Rgb(20, 80, 200), Parking},     // 15 parking
    {Square, Rgb(0, 120, 160), Fuel},        // 16 fuel station
    {Round, Rgb(30, 50, 120), Police},       // 17 police
    {Round, Rgb(210, 40, 30), Fire},         // 18 fire station
    {Round, Rgb(40, 110, 170), Library},     // 19 library
    {Round, Rgb(100, 40, 120), Cinema},      // 20 cinema
    {Round, Rgb(165, 70, 30), Restaurant},   // 21 restaurant
    {Round, Rgb(40, 140, 60), Stadium},      // 22 stadium
    {Round, Rgb(50, 150, 60), Park},         // 23 park
    {Round, Rgb(40, 150, 210), Fountain},    // 24 fountain
    {Round, Rgb(110, 110, 110), Monument},   // 25 monument
    {Round, Rgb(80, 80, 80), Telephone},     // 26 telephone
    {Round, Rgb(30, 100, 200), Information}, // 27 information
    {Square, Rgb(40, 90, 170), Toilet},      // 28 toilets
    {Round, Rgb(220, 110, 30), Market},      // 29 market
    {Round, Rgb(240, 150, 40), Kindergarten}, // 30 kindergarten
    {Round, Rgb(20, 60, 140), University},   // 31 university
    {Round, Rgb(150, 30, 40), TownHall},     // 32 town hall
    {Round, Rgb(90, 90, 110), Court},        // 33 court
    {Round, Rgb(100, 100, 100), Factory},    // 34 factory
    {Round, Rgb(30, 110, 190), Airport},     // 35 airport
    {Round, Rgb(20, 70, 140), Port},         // 36 port
    {Plain, Rgb(225, 30, 30), UserFlag},     // 37 user: red flag
    {Plain, Rgb(250, 200, 0), UserStar},     // 38 user: star
    {Plain, Rgb(30, 160, 60), UserArrow},    // 39 user: arrow
    {Plain, Rgb(40, 90, 200), UserHouse},    // 40 user: house
    {Plain, Rgb(220, 30, 70), UserHeart},    // 41 user: heart
    {Plain, Rgb(245, 140, 0), UserWarning},  // 42 user: warning
    {Plain, Rgb(130, 50, 170), UserTarget},  // 43 user: target
    {Plain, Rgb(60, 60, 60), UserCross},     // 44 user: cross
    {Plain, Rgb(0, 150, 140), UserCheck},    // 45 user: tick
    {Round, Rgb(255, 255, 255), Dentist},    // 46 dentist
    {Round, Rgb(60, 140, 90), Veterinary},   // 47 veterinary
    {Round, Rgb(180, 60, 120), Barber},      // 48 hairdresser
    {Round, Rgb(60, 150, 200), Laundry},     // 49 laundry
    {Square, Rgb(30, 120, 60), Atm},         // 50 cash machine
    {Square, Rgb(250, 200, 0), Taxi},        // 51 taxi
    {Round, Rgb(40, 130, 180), Bicycle},     // 52 bicycle hire
    {Round, Rgb(30, 120, 100), Mosque},      // 53 mosque
    {Round, Rgb(40, 140, 220), Pool},        // 54 swimming pool
    {Round, Rgb(100, 110, 100), Cemetery},   // 55 cemetery
    {Round, Rgb(120, 100, 40), Zoo},         // 56 zoo
    {Round, Rgb(70, 70, 90), CarService},    // 57 car service
    {Round, Rgb(240, 170, 60), Beach},       // 58 beach
    {Round, Rgb(60, 100, 60), Viewpoint},    // 59 viewpoint
    {Round, Rgb(200, 80, 40), Gym},          // 60 sports hall
};

} // namespace

bool DrawSign(int number, const TSignParams& rec)
{
    if (number < 1 || number > 60) return false;
    const TSign& s = Signs[number - 1];
    if (rec.Size <= 0) return true;
    TKeep keep(rec.DC);
    TgdiSetROP2(rec.DC, TGDI_R2_COPYPEN);
    TFrame f(rec.DC, rec.X, rec.Y, rec.Size);
    const bool whiteBadge = s.Color == W;
    const TgdiColor rim = whiteBadge ? (number == 1 ? Rgb(220, 30, 40) : Rgb(40, 110, 200)) : Tint(s.Color, -0.35);
    if (rec.Selected) {
        // a yellow halo with a red rim around the sign, wide enough to catch
        // the eye among the signs around it
        TFrame halo(rec.DC, rec.X, rec.Y, std::max(rec.Size + 12, rec.Size * 7 / 4));
        if (s.Badge == Square) halo.Box(-1, -1, 1, 1, Rgb(255, 225, 0), Rgb(230, 0, 0), 0.1);
        else halo.Disc(0, 0, 1, Rgb(255, 225, 0), Rgb(230, 0, 0), 0.1);
    }
    if (rec.Size < 10) {
        // too small for a picture: a dot in the sign's colour
        TgdiColor c = whiteBadge ? rim : s.Color;
        f.Disc(0, 0, 1, c, Tint(c, -0.4), 0.2);
        return true;
    }
    const double rimU = rec.Size < 24 ? 0.09 : 0.07;
    switch (s.Badge) {
    case Round: f.Disc(0, 0, 1, s.Color, rim, whiteBadge ? 0.14 : rimU); break;
    case Square: f.Box(-0.92, -0.92, 0.92, 0.92, s.Color, rim, rimU); break;
    case Plain: break;
    }
    s.Picture(f, s.Color);
    return true;
}

} // namespace tarnsym
