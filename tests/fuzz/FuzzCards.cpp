// The readers of information cards: rich text into a document, zip
// archives unpacked into a card's folder, metafiles replayed onto a
// picture. An archive may write only inside its folder, and only what it
// says it holds.
#include "FuzzEntries.h"

#include "app/cards/Unzip.h"
#include "platform/Metafile.h"
#include "platform/RichText.h"
#include "platform/gdi/Gdi.h"

#include <QAbstractTextDocumentLayout>
#include <QImage>
#include <QTextDocument>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>

namespace tarn::fuzz {

namespace {

namespace fs = std::filesystem;

[[noreturn]] void Broken(const char* target, const std::string& what)
{
    throw EFuzzCheck(std::string(target) + ": " + what);
}

} // namespace

TFuzzResult FuzzRtf(const uint8_t* data, std::size_t size)
{
    EnsureGuiApplication();
    // Laid out as the text comes, as the viewer's document is.
    QTextDocument doc;
    doc.documentLayout();
    doc.setTextWidth(300);
    try {
        ReadRichText(std::string_view(reinterpret_cast<const char*>(data), size), doc, "fuzz.rtf");
    } catch (const ETarnError&) {
        return TFuzzResult::Refused;
    }
    // Every block comes from the input or from a table cell, whose number is capped.
    if (std::size_t(doc.blockCount()) > size + 20002) Broken("rtf", std::to_string(doc.blockCount()) + " blocks");
    (void)doc.size();
    return TFuzzResult::Accepted;
}

TFuzzResult FuzzZip(const uint8_t* data, std::size_t size)
{
    const fs::path parent = fs::path(FuzzFolder()) / "zip";
    const fs::path folder = parent / "card";
    fs::remove_all(parent);
    fs::create_directories(folder);
    { std::ofstream(parent / "beside") << "untouched"; }
    TZipLimits limits;
    limits.MaxTotal = uint64_t(16) << 20;  // larger sites only cost time here
    int32_t files = 0;
    bool refused = false;
    try {
        files = UnzipToFolder(std::string_view(reinterpret_cast<const char*>(data), size), folder.string(), "fuzz.zip",
                              limits);
    } catch (const ETarnError&) {
        refused = true;
    }
    // Nothing beside the folder changed; inside it no link, and only files
    // of an accepted archive.
    int32_t found = 0;
    for (const auto& e : fs::directory_iterator(parent))
        if (e.path() != folder && e.path() != parent / "beside") Broken("zip", "wrote " + e.path().string());
    std::error_code ec;
    for (fs::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const fs::file_status st = it->symlink_status();
        if (fs::is_symlink(st)) Broken("zip", "a link " + it->path().string());
        if (fs::is_regular_file(st)) ++found;
        else if (!fs::is_directory(st)) Broken("zip", "a special file " + it->path().string());
    }
    if (refused && found) Broken("zip", "a refused archive left " + std::to_string(found) + " files");
    if (!refused && found > files) Broken("zip", std::to_string(found) + " files for " + std::to_string(files));
    if (!refused) (void)FindInFolder(folder.string(), QStringLiteral("site\\index.htm"));
    fs::remove_all(parent);
    return refused ? TFuzzResult::Refused : TFuzzResult::Accepted;
}

TFuzzResult FuzzWmf(const uint8_t* data, std::size_t size)
{
    EnsureGuiApplication();
    try {
        const TMetafile m(std::string_view(reinterpret_cast<const char*>(data), size), "fuzz.wmf");
        if (m.PixelWidth() < 1 || m.PixelWidth() > 4096 || m.PixelHeight() < 1 || m.PixelHeight() > 4096)
            Broken("wmf", "a size of " + std::to_string(m.PixelWidth()) + " x " + std::to_string(m.PixelHeight()));
        for (const TMetafile::TRecord& r : m.Records())
            if (uint64_t(r.Offset) + uint64_t(r.Words) * 2 > size) Broken("wmf", "a record past the end");
        // At most a card window's size, within the program's budget.
        (void)m.Render(std::min(m.PixelWidth(), 1600), std::min(m.PixelHeight(), 1000));
    } catch (const ETarnError&) {
        return TFuzzResult::Refused;
    }
    return TFuzzResult::Accepted;
}

} // namespace tarn::fuzz
