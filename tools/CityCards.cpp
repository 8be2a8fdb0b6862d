#include "CityCards.h"

#include "CityBytes.h"
#include "CityPictures.h"

#include "platform/Cp1251.h"

#include <array>
#include <cstdio>

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
    std::string rtf = "{\\rtf1\\ansi\\ansicpg1251\\deff0{\\fonttbl{\\f0\\fswiss\\fcharset204 Arial;}}"
                      "{\\colortbl;\\red0\\green0\\blue128;}\r\n\\f0\\fs28\\cf1\\b " +
                      RtfText(s.Name) + "\\b0\\cf0\\par\r\n\\fs20 ";
    for (const std::string& line : s.Lines) rtf += RtfText(line) + "\\par\r\n";
    return rtf + "}\r\n";
}

std::string HtmCard(const TCardSubject& s) { return Page(s.Name, "<h2>" + HtmlText(s.Name) + "</h2>\r\n" + Paragraphs(s)); }

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
    for (int y = 31; y >= 0; --y)
        for (int x = 0; x < 32; ++x) Put32(b, 0xFF000000u | rgb[std::size_t(y * 32 + x)]);
    b.append(mask, '\0');
    return b;
}

std::string WmfCard(const TCardSubject& s)
{
    // A placeable metafile: a filled rectangle and a disc on a 1000 x 750 window.
    std::string records;
    auto record = [&records](uint16_t function, std::initializer_list<uint16_t> params) {
        Put32(records, uint32_t(3 + params.size()));
        Put16(records, function);
        for (uint16_t p : params) Put16(records, p);
    };
    const uint32_t colour = 0x00A0C0E0u ^ (s.Seed & 0x3F3F3F);
    record(0x020B, {0, 0});                                                  // window origin
    record(0x020C, {750, 1000});                                             // window extent
    record(0x02FC, {0, uint16_t(colour & 0xFFFF), uint16_t(colour >> 16), 0});  // solid brush
    record(0x012D, {0});                                                     // select it
    record(0x041B, {700, 950, 50, 50});                                      // rectangle
    record(0x0418, {600, 700, 150, 300});                                    // ellipse
    record(0x01F0, {0});                                                     // delete the brush
    record(0x0000, {});                                                      // end
    std::string b;
    Put32(b, 0x9AC6CDD7u);
    Put16(b, 0);
    for (uint16_t v : {uint16_t(0), uint16_t(0), uint16_t(1000), uint16_t(750)}) Put16(b, v);
    Put16(b, 1440);
    Put32(b, 0);
    uint16_t check = 0;
    for (std::size_t i = 0; i < 20; i += 2) check ^= uint16_t(uint8_t(b[i]) | (uint8_t(b[i + 1]) << 8));
    Put16(b, check);
    Put16(b, 1);      // in a file
    Put16(b, 9);      // header words
    Put16(b, 0x0300);
    Put32(b, uint32_t(9 + records.size() / 2));
    Put16(b, 1);      // objects
    Put32(b, 7);      // the largest record, in words
    Put16(b, 0);
    return b + records;
}

std::string GifCard(const TCardSubject& s)
{
    std::vector<TPicture> frames;
    for (int32_t f = 0; f < 4; ++f) frames.push_back(BannerPicture(120, 60, s.Seed, f));
    return GifBytes(frames, 40);
}

std::string ZipSiteCard(const TCardSubject& s)
{
    const std::string index =
        Page(s.Name, "<h2>" + HtmlText(s.Name) + "</h2>\r\n<img src=\"img/front.jpg\">\r\n" + Paragraphs(s) +
                         "<p><a href=\"pages/more.htm\">" + HtmlText("Подробнее") + "</a> | <a href=\"sound.wav\">" +
                         HtmlText("Звуковое приветствие") + "</a></p>\r\n");
    const std::string more =
        Page(s.Name, "<h3>" + HtmlText(s.Name) + "</h3>\r\n<img src=\"../img/logo.bmp\">\r\n<p><a href=\"../index.htm\">" +
                         HtmlText("На главную") + "</a></p>\r\n");
    return StoredZip({{"index.htm", index},
                      {"img/", ""},
                      {"img/front.jpg", JpegBytes(FacadePicture(200, 150, s.Seed), 80)},
                      {"img/logo.bmp", BmpBytes(FacadePicture(48, 48, s.Seed + 1), 8)},
                      {"pages/", ""},
                      {"pages/more.htm", more},
                      {"sound.wav", WaveSound(s.Seed)}});
}

std::string JpgBanner(uint32_t seed) { return JpegBytes(BannerPicture(BannerWidth, BannerHeight, seed, 0), 85); }

std::string GifBanner(uint32_t seed)
{
    std::vector<TPicture> frames;
    for (int32_t f = 0; f < 6; ++f) frames.push_back(BannerPicture(BannerWidth, BannerHeight, seed, f));
    return GifBytes(frames, 30);
}

std::string BmpBanner(uint32_t seed) { return BmpBytes(BannerPicture(BannerWidth, BannerHeight, seed, 0), 8); }

std::string StoredZip(const std::vector<std::pair<std::string, std::string>>& entries)
{
    // 1 February 2000, midnight, in the archive's date form.
    const uint16_t time = 0, date = uint16_t(((2000 - 1980) << 9) | (2 << 5) | 1);
    std::string local, central;
    for (const auto& [name, data] : entries) {
        const bool folder = !name.empty() && name.back() == '/';
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
