#pragma once
// The sign chooser: the user signs of the symbol library, a size and a
// preview, shown modally before a sign is placed; the commands' issue
// fills it.
#include <QDialog>

#include <cstdint>

namespace tarn {

class TInfoModule;

class TSelectSignForm : public QDialog {
public:
    explicit TSelectSignForm(TInfoModule& info);

    TInfoModule& Info;
    int32_t Size = 50;  // the chosen size
};

} // namespace tarn
