#pragma once
// The legend: a sample of each sign layer of the main map drawn by the
// symbol library, with the layer's name. Made at start-up, shown modally by
// the legend button; the commands' issue fills it.
#include <QDialog>

#include <cstdint>

namespace tarn {

class TInfoModule;

class TLegendForm : public QDialog {
public:
    explicit TLegendForm(TInfoModule& info);

    TInfoModule& Info;
    int32_t SignSize = 100;  // the size the samples are drawn at
};

} // namespace tarn
