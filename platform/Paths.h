#pragma once
// Where a file name really leads. Names taken from files and the settings
// files must stay inside their folder: a link, of a file or of a folder on
// the way, may lead anywhere, so the real path decides.
#include <string>

namespace tarn {

// The path with every link followed as far as the path exists, made
// absolute and without "." or ".." parts; the part that does not exist is
// kept as written.
std::string RealPath(const std::string& path);

// True when path, links followed, lies below folder, links followed too.
bool LeadsInside(const std::string& folder, const std::string& path);

// True when the last part of path is itself a link (whatever it leads to).
bool IsLink(const std::string& path);

// EFileError naming path: a link that the program neither reads through
// nor writes through.
[[noreturn]] void ThrowLinkRefused(const std::string& path);

} // namespace tarn
