#include "CardSupport.h"

#include "../../tools/CitySupport.h"
#include "data/Streams.h"

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>

namespace tarn::test {

const std::vector<TLoadedRecord>& DemoCards()
{
    static const std::vector<TLoadedRecord> cards = [] {
        std::vector<TLoadedRecord> c;
        TTarnDatabase db(nullptr, nullptr);
        db.OnRecord = [&c](const TLoadedRecord& r) {
            if (r.FileNumber == 0 && r.Kind == CardItemKind) c.push_back(r);
        };
        db.Load(SharedCity().Dir.Path() + "/");
        return c;
    }();
    return cards;
}

const TCardRec& DemoCard(const std::string& type)
{
    for (const TLoadedRecord& r : DemoCards())
        if (r.Card.FileType == type) return r.Card;
    throw std::runtime_error("the demo city has no " + type + " card");
}

const TCardRec& DemoCardOfCode(int32_t code)
{
    for (const TLoadedRecord& r : DemoCards())
        if (r.Card.Key.Code == code) return r.Card;
    throw std::runtime_error("the demo city has no card of code " + std::to_string(code));
}

TCardRec CardOfBytes(const std::string& bytes, const std::string& type, bool archive, const std::string& mainFile)
{
    // A few bytes before the card, as in a database file.
    auto stream = std::make_shared<TMemoryStream>("head" + bytes + "tail");
    stream->SetName("test.dat");
    TCardRec card;
    card.Key = {0, 1, 11, 5, 77};
    card.FileType = type;
    card.Source = stream;
    card.DataOffset = 4;
    card.DataSize = int32_t(bytes.size());
    card.Archive = archive ? 1 : 0;
    card.MainFile = mainFile;
    return card;
}

double DrawnShare(const QImage& source)
{
    const QImage image = source.convertToFormat(QImage::Format_RGB32);
    std::map<QRgb, int> border;
    for (int x = 0; x < image.width(); ++x) ++border[image.pixel(x, 0)], ++border[image.pixel(x, image.height() - 1)];
    QRgb ground = 0;
    int most = -1;
    for (const auto& [c, n] : border)
        if (n > most) ground = c, most = n;
    int64_t drawn = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) drawn += image.pixel(x, y) != ground;
    return image.isNull() ? 0 : double(drawn) / double(int64_t(image.width()) * image.height());
}

std::vector<std::string> FilesUnder(const std::string& folder)
{
    namespace fs = std::filesystem;
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        names.push_back(fs::relative(it->path(), folder).generic_string() + (it->is_directory() ? "/" : ""));
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace tarn::test
