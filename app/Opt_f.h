#pragma once
// The options dialog: drawing the map through a raster, and the font of
// its labels; the commands' issue fills it.
#include <QDialog>

namespace tarn {

class TInfoModule;

class TOptionsForm : public QDialog {
public:
    explicit TOptionsForm(TInfoModule& info);

    TInfoModule& Info;
};

} // namespace tarn
