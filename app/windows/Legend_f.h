#pragma once
// The legend: one row per sign layer of the main map, a 100 x 100 sample of
// the layer's sign drawn by the symbol library and the layer's name. Made
// once at start-up from the main model (later changes of the layers are not
// shown), shown modally by the legend button.
#include "platform/DynLib.h"
#include "platform/Types.h"

#include <QDialog>

#include <cstdint>
#include <vector>

class QLabel;
class QPushButton;
class QScrollArea;

namespace tarn {

class TDeviceContext;
class TFormPlacement;
class TInfoModule;
class TModel;
class TTessaraPanel;

// The size the legend draws its samples at for a library's "GETSIZE":
// 20 / size x 100, rounded; a size of 0 or less counts as 100.
int32_t LegendSignSize(int32_t getSize);

// A sample of the library's sign `number` on a white square filling r: the
// sign's procedure is called to draw at the centre with `size` (sign
// number field 0, not selected). Nothing but white without a library or
// without the export.
void PaintSignSample(TDeviceContext& dc, const TRect& r, const TDynLib* library, int32_t number, int32_t size);

class TLegendForm : public QDialog {
public:
    // Loads the main model's symbol library and builds the rows (none
    // without a main model).
    explicit TLegendForm(TInfoModule& info);
    ~TLegendForm() override;

    struct TRow {
        TTessaraPanel* Sample;  // its tag holds the layer's sign number
        QLabel* Label;
    };

    TInfoModule& Info;
    QWidget* Panel1;
    QWidget* Panel2;
    QPushButton* BitBtn1;  // "Закрыть"
    QScrollArea* ScrollBox1;
    QWidget* Rows;          // the scroll box's contents
    TDynLib DllHandle;      // the symbol library, for the window's life
    int32_t SignSize = 100;  // the size every sample is drawn at
    std::vector<TRow> RowList;

private:
    void BuildRows(TModel& model);
    void PaintRow(TTessaraPanel& box);
    TFormPlacement* FormPlacement1;
};

} // namespace tarn
