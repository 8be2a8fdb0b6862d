#pragma once
// The demo city's information cards, read once through the database reader,
// and a card window's shared services on a private folder.
#include "../AppSupport.h"

#include "app/cards/Cust_f.h"
#include "app/cards/UnCont.h"
#include "db/TarnData.h"

#include <QImage>
#include <QString>

#include <string>
#include <vector>

namespace tarn::test {

// The cards of "tarn.dat" of the shared demo city, in file order.
const std::vector<TLoadedRecord>& DemoCards();
// The first card of a type ("RTF"), or of a key code.
const TCardRec& DemoCard(const std::string& type);
const TCardRec& DemoCardOfCode(int32_t code);
// A card of any bytes (a file of its own beside the test).
TCardRec CardOfBytes(const std::string& bytes, const std::string& type, bool archive = false,
                     const std::string& mainFile = {});

struct TCardServices {
    TStubServices Services;
    TTempDir Dir;
    TInfoModule Info{Dir.Path() + "/", "tarn", Services};
};

// The share of the image's pixels that differ from the colour most of its
// top and bottom rows have: how much the viewer drew.
double DrawnShare(const QImage& image);
// Names of the files and folders under a folder, relative, sorted.
std::vector<std::string> FilesUnder(const std::string& folder);

} // namespace tarn::test
