#pragma once
// The contents of the demo city's information cards, one function per kind
// of file the card window shows. Text, BMP and JPEG cards are complete; the
// others are small valid files that the cards' own work makes richer, each
// behind its own function so that it can be replaced alone.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace tarn::city {

struct TCardSubject {
    std::string Name;                // UTF-8
    std::vector<std::string> Lines;  // UTF-8: address, telephone, hours, a few words
    uint32_t Seed = 0;
};

// Code page 1251 text, lines ended by CR LF.
std::string TxtCard(const TCardSubject& s);
// The house front, 8-bit BMP.
std::string BmpCard(const TCardSubject& s);
// The house front, JPEG.
std::string JpgCard(const TCardSubject& s);

std::string RtfCard(const TCardSubject& s);
std::string HtmCard(const TCardSubject& s);
std::string IcoCard(const TCardSubject& s);
std::string WmfCard(const TCardSubject& s);
// Animated.
std::string GifCard(const TCardSubject& s);
// A site under "SITE/": the main page, a second page under "Pages/",
// pictures under "Img/", a sound "Sound.wav"; the pages name them in lower
// case, and the database names the main page in lower case with "\".
std::string ZipSiteCard(const TCardSubject& s);
constexpr const char* ZipSiteMainFile = "site\\index.htm";

// Banners: the strip above the navigator.
constexpr int32_t BannerWidth = 219;
constexpr int32_t BannerHeight = 70;
// Each shows the name of what it leads to (UTF-8).
std::string JpgBanner(uint32_t seed, const std::string& name);
std::string GifBanner(uint32_t seed, const std::string& name);
std::string BmpBanner(uint32_t seed, const std::string& name);

// A zip archive of stored (not packed) entries; a name ending in "/" is a
// folder. Fixed dates, so the same entries give the same bytes.
std::string StoredZip(const std::vector<std::pair<std::string, std::string>>& entries);
// A short tone, 8-bit mono PCM.
std::string WaveSound(uint32_t seed);

} // namespace tarn::city
