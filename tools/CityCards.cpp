#include "CityCards.h"

#include "CityBytes.h"
#include "CityPictures.h"

#include "platform/Cp1251.h"

#include <array>
#include <cstdio>
#include <cstring>

namespace tarn::city {

namespace {

std::string Cp(const std::string& utf8) { return Utf8ToCp1251(utf8); }

uint32_t Crc32(const std::string& bytes)
{
    static const std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    uint32_t c = 0xFFFFFFFFu;
    for (unsigned char b : bytes) c = table[(c ^ b) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

// Code page 1251 text with the RTF escapes.
std::string RtfText(const std::string& utf8)
{
    std::string out;
    for (unsigned char c : Cp(utf8)) {
        if (c == '\\' || c == '{' || c == '}') {
            out += '\\';
            out += char(c);
        } else if (c >= 0x80) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\'%02x", c);
            out += hex;
        } else {
            out += char(c);
        }
    }
    return out;
}

std::string HtmlText(const std::string& utf8)
{
    std::string out;
    for (char c : Cp(utf8)) {
        if (c == '<') out += "&lt;";
        else if (c == '>') out += "&gt;";
        else if (c == '&') out += "&amp;";
        else out += c;
    }
    return out;
}

std::string Page(const std::string& title, const std::string& body)
{
    return "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1251\">"
           "<title>" + HtmlText(title) + "</title></head>\r\n<body bgcolor=\"#FFFFFF\">\r\n" + body +
           "</body></html>\r\n";
}

std::string Paragraphs(const TCardSubject& s)
{
    std::string body;
    for (const std::string& line : s.Lines) body += "<p>" + HtmlText(line) + "</p>\r\n";
    return body;
}

// A line "what: value" or "what — value" as two cells; else one.
std::pair<std::string, std::string> SplitLine(const std::string& line)
{
    for (const char* sep : {" — ", ": "})
        if (const std::size_t at = line.find(sep); at != std::string::npos)
            return {line.substr(0, at), line.substr(at + std::strlen(sep))};
    return {line, ""};
}

std::string HtmlTable(const TCardSubject& s)
{
    // Lines of one part stand above the table.
    std::string above, t = "<table border=\"1\" cellpadding=\"4\" cellspacing=\"0\">\r\n";
    for (const std::string& line : s.Lines) {
        const auto [what, value] = SplitLine(line);
        if (value.empty()) above += "<p>" + HtmlText(what) + "</p>\r\n";
        else t += "<tr><td><b>" + HtmlText(what) + "</b></td><td>" + HtmlText(value) + "</td></tr>\r\n";
    }
    return above + t + "</table>\r\n";
}

std::string Base64(const std::string& bytes)
{
    static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        uint32_t v = uint32_t(uint8_t(bytes[i])) << 16;
        if (i + 1 < bytes.size()) v |= uint32_t(uint8_t(bytes[i + 1])) << 8;
        if (i + 2 < bytes.size()) v |= uint8_t(bytes[i + 2]);
        out += digits[(v >> 18) & 63];
        out += digits[(v >> 12) & 63];
        out += i + 1 < bytes.size() ? digits[(v >> 6) & 63] : '=';
        out += i + 2 < bytes.size() ? digits[v & 63] : '=';
    }
    return out;
}

// A web address of the demo city's own (the reserved example domain).
std::string Site(uint32_t seed) { return "http://www.listograd.example/" + std::to_string(seed % 1000); }

} // namespace

std::string TxtCard(const TCardSubject& s)
{
    std::string text = Cp(s.Name) + "\r\n\r\n";
    for (const std::string& line : s.Lines) text += Cp(line) + "\r\n";
    return text;
}

std::string BmpCard(const TCardSubject& s) { return BmpBytes(FacadePicture(160, 120, s.Seed), 8); }

std::string JpgCard(const TCardSubject& s) { return JpegBytes(FacadePicture(240, 180, s.Seed), 85); }

std::string RtfCard(const TCardSubject& s)
{
    // A heading, the lines as a table of two columns, a field that links to
    // the city's site, an address written out, a character by \u.
    std::string rtf = "{\\rtf1\\ansi\\ansicpg1251\\deff0{\\fonttbl{\\f0\\fswiss\\fcharset204 Arial;}"
                      "{\\f1\\froman\\fcharset204 Times New Roman;}}"
                      "{\\colortbl;\\red0\\green0\\blue128;\\red178\\green34\\blue34;\\red0\\green0\\blue255;}"
                      "{\\*\\generator mkcity;}{\\info{\\title " + RtfText(s.Name) + "}}\r\n"
                      "\\pard\\qc\\f0\\fs32\\cf1\\b " + RtfText(s.Name) + "\\b0\\cf0\\par\r\n"
                      "\\pard\\f1\\fs22\r\n";
    for (const std::string& line : s.Lines)
        if (SplitLine(line).second.empty()) rtf += RtfText(line) + "\\par\r\n";
    for (const std::string& line : s.Lines) {
        const auto [what, value] = SplitLine(line);
        if (value.empty()) continue;
        rtf += "\\trowd\\trgaph108\\cellx3200\\cellx8000\r\n\\pard\\intbl\\b " + RtfText(what) +
               "\\b0\\cell\\pard\\intbl " + RtfText(value) + "\\cell\\row\r\n";
    }
    rtf += "\\pard\\par\r\n{\\i " + RtfText("Подробности — на сайте") + "} " +
           "{\\field{\\*\\fldinst{HYPERLINK \"" + Site(s.Seed) + "\"}}{\\fldrslt{\\ul\\cf3 " +
           RtfText("Листоград в сети") + "}}}\\par\r\n" + "\\cf2 " + RtfText("Справочная: www.listograd.example") +
           "\\cf0\\par\r\n\\u9742? 09\\par\r\n}\r\n";
    return rtf;
}

std::string HtmCard(const TCardSubject& s)
{
    // A page of its own: the picture travels inside it, the links go to a
    // place in the page, to the city's site and to its mail.
    const std::string picture = JpegBytes(FacadePicture(160, 120, s.Seed), 80);
    return Page(s.Name, "<h2>" + HtmlText(s.Name) + "</h2>\r\n<p><img src=\"data:image/jpeg;base64," +
                            Base64(picture) + "\" width=\"160\" height=\"120\"></p>\r\n<p><a href=\"#table\">" +
                            HtmlText("Справка в таблице") + "</a> | <a href=\"" + Site(s.Seed) + "\">" +
                            HtmlText("Сайт") + "</a> | <a href=\"mailto:info@listograd.example\">" +
                            HtmlText("Написать нам") + "</a></p>\r\n" + "<a name=\"table\"></a>\r\n" +
                            HtmlTable(s));
}

std::string IcoCard(const TCardSubject& s)
{
    // One 32 x 32 picture of 32 bits a pixel, with its (empty) mask.
    const TPicture p = FacadePicture(32, 32, s.Seed);
    const std::vector<uint32_t> rgb = p.Rgb();
    const uint32_t pixels = 32 * 32 * 4, mask = 32 * 4;
    std::string b;
    Put16(b, 0);
    Put16(b, 1);  // an icon
    Put16(b, 1);  // one picture
    b += char(32);
    b += char(32);
    b += '\0';
    b += '\0';
    Put16(b, 1);
    Put16(b, 32);
    Put32(b, 40 + pixels + mask);
    Put32(b, 6 + 16);
    Put32(b, 40);
    Put32(b, 32);
    Put32(b, 64);  // the picture and its mask
    Put16(b, 1);
    Put16(b, 32);
    Put32(b, 0);
    Put32(b, pixels + mask);
    Put32(b, 0);
    Put32(b, 0);
    Put32(b, 0);
    Put32(b, 0);
    // A round badge: the corners are see-through, in the alpha and the mask.
    const auto inside = [](int x, int y) { return (2 * x - 31) * (2 * x - 31) + (2 * y - 31) * (2 * y - 31) <= 32 * 32; };
    for (int y = 31; y >= 0; --y)
        for (int x = 0; x < 32; ++x) Put32(b, inside(x, y) ? 0xFF000000u | rgb[std::size_t(y * 32 + x)] : 0u);
    for (int y = 31; y >= 0; --y)
        for (int x = 0; x < 32; x += 8) {
            uint8_t bits = 0;
            for (int k = 0; k < 8; ++k)
                if (!inside(x + k, y)) bits |= uint8_t(0x80 >> k);
            b += char(bits);
        }
    return b;
}

namespace {

// Records of a metafile in the making; objects take the lowest free place
// of the table, as a player gives them out.
struct TWmfRecords {
    std::string Bytes;
    uint32_t Largest = 0;
    std::vector<bool> Used;

    void Add(uint16_t function, std::initializer_list<uint16_t> params, const std::string& tail = {})
    {
        const uint32_t words = uint32_t(3 + params.size() + (tail.size() + 1) / 2);
        Largest = std::max(Largest, words);
        Put32(Bytes, words);
        Put16(Bytes, function);
        for (uint16_t p : params) Put16(Bytes, p);
        Bytes += tail;
        if (tail.size() % 2) Bytes += '\0';
    }
    uint16_t Create(uint16_t function, std::initializer_list<uint16_t> params, const std::string& tail = {})
    {
        Add(function, params, tail);
        std::size_t slot = 0;
        while (slot < Used.size() && Used[slot]) ++slot;
        if (slot == Used.size()) Used.push_back(true);
        Used[slot] = true;
        return uint16_t(slot);
    }
    void Select(uint16_t slot) { Add(0x012D, {slot}); }
    void Delete(uint16_t slot)
    {
        Add(0x01F0, {slot});
        Used[slot] = false;
    }
    uint16_t Pen(uint16_t style, uint16_t width, uint32_t colour)
    {
        return Create(0x02FA, {style, width, 0, uint16_t(colour & 0xFFFF), uint16_t(colour >> 16)});
    }
    uint16_t Brush(uint16_t style, uint32_t colour, uint16_t hatch = 0)
    {
        return Create(0x02FC, {style, uint16_t(colour & 0xFFFF), uint16_t(colour >> 16), hatch});
    }
    void Box(uint16_t function, int16_t l, int16_t t, int16_t r, int16_t b)
    {
        Add(function, {uint16_t(b), uint16_t(r), uint16_t(t), uint16_t(l)});
    }
    void Points(uint16_t function, std::initializer_list<int16_t> xy)
    {
        std::string tail;
        for (int16_t v : xy) Put16(tail, uint16_t(v));
        Add(function, {uint16_t(xy.size() / 2)}, tail);
    }
};

constexpr uint32_t Bgr(uint8_t r, uint8_t g, uint8_t b) { return r | (uint32_t(g) << 8) | (uint32_t(b) << 16); }

} // namespace

std::string WmfCard(const TCardSubject& s)
{
    // The stadium from above on a 1000 x 750 window: a track round the
    // field, its markings, the stand's roof (a ring), a flag, a scoreboard
    // picture and the name.
    TWmfRecords r;
    r.Add(0x020B, {0, 0});      // window origin
    r.Add(0x020C, {750, 1000});  // window extent
    r.Add(0x0102, {1});          // transparent background
    const uint16_t none = r.Create(0x02FA, {5, 0, 0, 0, 0});
    const uint16_t sky = r.Brush(0, Bgr(200, 225, 245) ^ (s.Seed & 0x0F0F0F));
    r.Select(none);
    r.Select(sky);
    r.Box(0x041B, 0, 0, 1001, 751);
    const uint16_t edge = r.Pen(0, 8, Bgr(40, 90, 40));
    const uint16_t track = r.Brush(0, Bgr(178, 80, 60));
    r.Select(edge);
    r.Select(track);
    r.Box(0x0418, 100, 150, 900, 650);
    const uint16_t grass = r.Brush(2, Bgr(30, 150, 50), 4);  // cross-hatched lawn
    r.Select(grass);
    r.Box(0x0418, 180, 230, 820, 570);
    const uint16_t white = r.Pen(0, 4, Bgr(255, 255, 255));
    const uint16_t hollow = r.Brush(1, 0);
    r.Select(white);
    r.Select(hollow);
    r.Box(0x041B, 280, 300, 720, 500);
    r.Points(0x0325, {500, 300, 500, 500});  // the middle line
    const uint16_t roof = r.Brush(0, Bgr(120, 120, 130));
    r.Select(none);
    r.Select(roof);
    std::string rings;
    for (int16_t v : {int16_t(5), int16_t(5)}) Put16(rings, uint16_t(v));
    for (int16_t v : {50, 30, 950, 30, 950, 120, 50, 120, 50, 30, 80, 55, 920, 55, 920, 95, 80, 95, 80, 55})
        Put16(rings, uint16_t(v));
    r.Add(0x0538, {2}, rings);  // the roof and its skylight
    r.Delete(white);
    r.Delete(edge);
    const uint16_t pole = r.Pen(0, 6, 0);
    const uint16_t flag = r.Brush(0, Bgr(220, 30, 30));
    r.Select(pole);
    r.Select(flag);
    r.Add(0x0214, {660, 930});  // move to
    r.Add(0x0213, {140, 930});  // line to
    r.Points(0x0324, {930, 140, 990, 165, 930, 190});
    // A scoreboard of 4 x 2 pixels, 24 bits, stretched.
    std::string dib;
    for (uint32_t v : {40u, 4u, 2u}) Put32(dib, v);
    Put16(dib, 1);
    Put16(dib, 24);
    for (int i = 0; i < 6; ++i) Put32(dib, 0);
    for (uint32_t px : {0x202020u, 0xF0F000u, 0x202020u, 0xF0F000u, 0xF0F000u, 0x202020u, 0xF0F000u, 0x202020u}) {
        dib += char(px & 0xFF);
        dib += char((px >> 8) & 0xFF);
        dib += char(px >> 16);
    }
    r.Add(0x0F43, {0x0020, 0x00CC, 0, 2, 4, 0, 0, 80, 160, 170, 30}, dib);  // SRCCOPY, at (30, 170)
    const std::string face = std::string("Arial") + std::string(27, '\0');
    std::string font;
    for (int16_t v : {-56, 0, 0, 0, 700}) Put16(font, uint16_t(v));
    font += std::string("\0\0\0\xCC\0\0\0\0", 8) + face;  // Cyrillic
    const uint16_t title = r.Create(0x02FB, {}, font);
    r.Select(title);
    const uint32_t ink = Bgr(0, 0, 110);
    r.Add(0x0209, {uint16_t(ink & 0xFFFF), uint16_t(ink >> 16)});  // text colour
    r.Add(0x012E, {6 | 24});                                     // centred on the baseline
    std::string text = Cp(s.Name);
    const uint16_t length = uint16_t(text.size());
    if (text.size() % 2) text += '\0';
    Put16(text, 725);  // y, then x
    Put16(text, 500);
    r.Add(0x0521, {length}, text);
    for (uint16_t obj : {none, sky, track, grass, hollow, roof, pole, flag, title}) r.Delete(obj);
    r.Add(0x0000, {});

    std::string b;
    Put32(b, 0x9AC6CDD7u);
    Put16(b, 0);
    for (uint16_t v : {uint16_t(0), uint16_t(0), uint16_t(1000), uint16_t(750)}) Put16(b, v);
    Put16(b, 240);  // units an inch: 400 x 300 pixels on the screen
    Put32(b, 0);
    uint16_t check = 0;
    for (std::size_t i = 0; i < 20; i += 2) check ^= uint16_t(uint8_t(b[i]) | (uint8_t(b[i + 1]) << 8));
    Put16(b, check);
    Put16(b, 1);  // in a file
    Put16(b, 9);  // header words
    Put16(b, 0x0300);
    Put32(b, uint32_t(9 + r.Bytes.size() / 2));
    Put16(b, uint16_t(r.Used.size()));
    Put32(b, r.Largest);
    Put16(b, 0);
    return b + r.Bytes;
}

std::string GifCard(const TCardSubject& s)
{
    std::vector<TPicture> frames;
    for (int32_t f = 0; f < 4; ++f) frames.push_back(BannerPicture(120, 60, s.Seed, f, s.Name));
    return GifBytes(frames, 40);
}

std::string ZipSiteCard(const TCardSubject& s)
{
    // An old site: its folder stored in capitals, some names with "\\", the
    // pages linking in lower case. The main page holds a picture, a table,
    // links to a second page, to a sound and to the city's site.
    const std::string index =
        Page(s.Name, "<h2>" + HtmlText(s.Name) + "</h2>\r\n<p><img src=\"img/front.jpg\" width=\"200\" height=\"150\"></p>\r\n" +
                         HtmlTable(s) + "<p><a href=\"pages/more.htm\">" + HtmlText("Подробнее") +
                         "</a> | <a href=\"sound.wav\">" + HtmlText("Звуковое приветствие") + "</a> | <a href=\"" +
                         Site(s.Seed) + "\">" + HtmlText("Сайт") + "</a></p>\r\n");
    const std::string more =
        Page(s.Name, "<h3>" + HtmlText(s.Name) + "</h3>\r\n<p><img src=\"../img/logo.bmp\"></p>\r\n" + Paragraphs(s) +
                         "<p><a href=\"../index.htm\">" + HtmlText("На главную") + "</a></p>\r\n");
    return StoredZip({{"SITE/", ""},
                      {"SITE/INDEX.HTM", index},
                      {"SITE\\Img\\", ""},
                      {"SITE\\Img\\Front.jpg", JpegBytes(FacadePicture(200, 150, s.Seed), 80)},
                      {"SITE/Img/LOGO.BMP", BmpBytes(FacadePicture(48, 48, s.Seed + 1), 8)},
                      {"SITE/Pages/", ""},
                      {"SITE/Pages/More.htm", more},
                      {"SITE/Sound.wav", WaveSound(s.Seed)}});
}

std::string JpgBanner(uint32_t seed, const std::string& name)
{
    return JpegBytes(BannerPicture(BannerWidth, BannerHeight, seed, 0, name), 85);
}

std::string GifBanner(uint32_t seed, const std::string& name)
{
    std::vector<TPicture> frames;
    for (int32_t f = 0; f < 6; ++f) frames.push_back(BannerPicture(BannerWidth, BannerHeight, seed, f, name));
    return GifBytes(frames, 30);
}

std::string BmpBanner(uint32_t seed, const std::string& name)
{
    return BmpBytes(BannerPicture(BannerWidth, BannerHeight, seed, 0, name), 8);
}

std::string StoredZip(const std::vector<std::pair<std::string, std::string>>& entries)
{
    // 1 February 2000, midnight, in the archive's date form.
    const uint16_t time = 0, date = uint16_t(((2000 - 1980) << 9) | (2 << 5) | 1);
    std::string local, central;
    for (const auto& [name, data] : entries) {
        const bool folder = !name.empty() && (name.back() == '/' || name.back() == '\\');
        const uint32_t crc = Crc32(data), offset = uint32_t(local.size());
        Put32(local, 0x04034B50u);
        Put16(local, 10);  // version needed
        Put16(local, 0);   // flags
        Put16(local, 0);   // stored
        Put16(local, time);
        Put16(local, date);
        Put32(local, crc);
        Put32(local, uint32_t(data.size()));
        Put32(local, uint32_t(data.size()));
        Put16(local, uint32_t(name.size()));
        Put16(local, 0);
        local += name + data;
        Put32(central, 0x02014B50u);
        Put16(central, 20);  // made by
        Put16(central, 10);
        Put16(central, 0);
        Put16(central, 0);
        Put16(central, time);
        Put16(central, date);
        Put32(central, crc);
        Put32(central, uint32_t(data.size()));
        Put32(central, uint32_t(data.size()));
        Put16(central, uint32_t(name.size()));
        Put16(central, 0);
        Put16(central, 0);
        Put16(central, 0);
        Put16(central, 0);
        Put32(central, folder ? 0x10 : 0x20);  // folder or archive attribute
        Put32(central, offset);
        central += name;
    }
    std::string b = local + central;
    Put32(b, 0x06054B50u);
    Put16(b, 0);
    Put16(b, 0);
    Put16(b, uint32_t(entries.size()));
    Put16(b, uint32_t(entries.size()));
    Put32(b, uint32_t(central.size()));
    Put32(b, uint32_t(local.size()));
    Put16(b, 0);
    return b;
}

std::string WaveSound(uint32_t seed)
{
    const uint32_t rate = 8000, samples = 2400;
    const uint32_t period = 12 + seed % 8;  // a triangle wave of a few hundred hertz
    std::string b = "RIFF";
    Put32(b, 36 + samples);
    b += "WAVEfmt ";
    Put32(b, 16);
    Put16(b, 1);  // PCM
    Put16(b, 1);
    Put32(b, rate);
    Put32(b, rate);
    Put16(b, 1);
    Put16(b, 8);
    b += "data";
    Put32(b, samples);
    for (uint32_t i = 0; i < samples; ++i) {
        const uint32_t phase = i % period;
        const int wave = int(phase < period / 2 ? phase : period - phase) * 160 / int(period) - 40;
        const int fade = int(samples - i) * 100 / int(samples);  // dies away
        b += char(128 + wave * fade / 100);
    }
    return b;
}

} // namespace tarn::city
