#pragma once
// Cards as a hostile database would carry them, made at any size: the
// worst cases of the metafile player and the rich-text reader, for the
// benchmarks, the fuzz regressions and the tests.
#include <cstddef>
#include <string>

namespace tarn::city {

// A metafile of `bytes` (about) whose frame is `width` x `height` pixels,
// filled with ellipses `grow` times the frame round its middle, in a hatched
// brush mixed with what is drawn before, outlined with a pen `penWidth`
// wide (0: the thin one; the pen style times 4096 added).
std::string FullFrameEllipsesWmf(std::size_t bytes, int penWidth = 0, int grow = 1, int width = 1600, int height = 1000);

enum class THostileRtf {
    LongTable,    // one table of two-column rows, past any cell cap
    ManyTables,   // tables of just under the cap, one after another
    TablesAndText // tables of every size between paragraphs
};
// Rich text of `bytes` (about) of the kind.
std::string HostileRtf(THostileRtf kind, std::size_t bytes);

} // namespace tarn::city
