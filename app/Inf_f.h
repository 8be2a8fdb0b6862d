#pragma once
// The information window: a rich-text card with clickable web links and a
// button that shows the card's object on the map. Made at start-up, shown
// by whoever loads a card into it; the banners' issue fills it.
#include "model/ObjKey.h"

#include <QWidget>

#include <string>

namespace tarn {

class TInfoModule;

class TInformationForm : public QWidget {
public:
    explicit TInformationForm(TInfoModule& info);

    TInfoModule& Info;
    std::string ProgramDir;
    bool HasObject = false;  // the card belongs to a map object
    TObjectKey Key;
};

} // namespace tarn
