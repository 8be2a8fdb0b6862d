#include "HostileCards.h"

#include <cstdint>

namespace tarn::city {

namespace {

void Put16(std::string& b, int v)
{
    b += char(v & 0xFF);
    b += char((v >> 8) & 0xFF);
}

void Put32(std::string& b, uint32_t v)
{
    Put16(b, int(v & 0xFFFF));
    Put16(b, int(v >> 16));
}

void Record(std::string& b, uint16_t function, std::initializer_list<int> words)
{
    Put32(b, uint32_t(3 + words.size()));
    Put16(b, function);
    for (int w : words) Put16(b, w);
}

} // namespace

std::string FullFrameEllipsesWmf(std::size_t bytes, int penWidth, int grow, int width, int height)
{
    std::string b;
    Put32(b, 0x9AC6CDD7u);
    for (int v : {0, 0, 0, width, height, 96}) Put16(b, v);  // placeable: 96 units an inch
    Put32(b, 0);
    Put16(b, 0);
    for (int v : {1, 9, 0x0300}) Put16(b, v);
    Put32(b, 0);
    Put16(b, 2);  // a pen and a brush
    Put32(b, 0);
    Put16(b, 0);
    Record(b, 0x02FA, {penWidth >> 12, penWidth & 0xFFF, 0, 0, 0});  // a black pen
    Record(b, 0x012D, {0});
    Record(b, 0x02FC, {2, 0x00FF, 0, 5});  // a red diagonal cross-hatch
    Record(b, 0x012D, {1});
    Record(b, 0x0104, {7});  // mixed with what is there
    // Larger ellipses through the window: a unit of 100 pixels keeps their
    // corners inside 16 bits.
    int w = width, h = height;
    if (grow > 1) {
        w = width / 100, h = height / 100;
        Record(b, 0x020C, {h, w});  // the window's extent
    }
    const int l = -w * (grow - 1) / 2, t = -h * (grow - 1) / 2;
    while (b.size() + 20 < bytes) Record(b, 0x0418, {t + h * grow, l + w * grow, t, l});
    Record(b, 0, {});
    return b;
}

std::string HostileRtf(THostileRtf kind, std::size_t bytes)
{
    std::string b = "{\\rtf1\\ansi\\ansicpg1251{\\fonttbl{\\f0\\fcharset204 Arial;}}\\f0\n";
    const auto row = [&b](int cells) {
        b += "\\trowd";
        for (int c = 1; c <= cells; ++c) b += "\\cellx" + std::to_string(c * 1000);
        for (int c = 0; c < cells; ++c) b += "\\intbl \\'c0\\'e1 " + std::to_string(c) + "\\cell ";
        b += "\\row\n";
    };
    std::size_t table = 0;
    while (b.size() < bytes) {
        switch (kind) {
        case THostileRtf::LongTable: row(2); break;
        case THostileRtf::ManyTables:
            // 9 999 rows of two cells: just under a cap of 20 000 a table.
            for (int r = 0; r < 9999 && b.size() < bytes; ++r) row(2);
            b += "\\pard\\par\n";
            break;
        case THostileRtf::TablesAndText:
            for (std::size_t r = 0; r <= table % 50 && b.size() < bytes; ++r) row(int(1 + table % 7));
            b += "\\pard \\'d2\\'e5\\'ea\\'f1\\'f2 {\\b www.example.org}\\par\n";
            ++table;
            break;
        }
    }
    return b + "}";
}

} // namespace tarn::city
