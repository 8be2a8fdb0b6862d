#pragma once
// A small pixel font for the demo city's pictures (banners): capitals of
// the Russian alphabet, digits and a few signs, each 5 by 7 pixels, drawn
// into a palette picture. No font library: the same text always gives the
// same pixels.
#include "CityPictures.h"

#include <string>
#include <vector>

namespace tarn::city {

// The glyph's rows, top first, bit 4 the leftmost column; false for a
// character the font lacks (drawn as a blank).
bool GlyphRows(char32_t c, uint8_t (&rows)[7]);

// The text (UTF-8) broken into at most `lines` lines of at most `chars`
// characters at spaces; empty when a word is longer or the lines too few.
std::vector<std::string> BreakLines(const std::string& utf8, std::size_t chars, std::size_t lines);

// Draws the text centred in the picture's width, its lines `scale` pixels
// a font pixel from `top` down, in `ink` over a shadow one pixel down and
// right in `shadow`. The text is set as large as it fits in two lines (one
// font pixel two picture pixels), else smaller in three. Answers the lines.
std::vector<std::string> DrawCaption(TPicture& p, const std::string& utf8, int32_t top, uint8_t ink, uint8_t shadow);

} // namespace tarn::city
