#pragma once
#include "Draw.h"

namespace tarnsym {
// Draws sign `number` (1..60) as the record asks; false for other numbers.
bool DrawSign(int number, const TSignParams& rec);
// Line styles 1..8 and fill styles 1..8.
bool DrawLine(int number, const TLineParams& rec);
bool DrawFill(int number, const TFillParams& rec);
} // namespace tarnsym
