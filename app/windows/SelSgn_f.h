#pragma once
// Choosing a user sign: TSignPanel shows a square sample of each sign of
// the symbol library in a wrapping grid and frames the clicked one in red;
// TSelectSignForm, the modal chooser shown before a sign is placed, holds a
// panel of the signs 37 to 45, the sign's size and a preview.
#include "data/LoadDLL.h"

#include <QDialog>
#include <QScrollArea>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class QLabel;
class QPushButton;
class QSpinBox;

namespace tarn {

class TInfoModule;
class TTessaraPanel;

class TSignPanel : public QScrollArea {
public:
    explicit TSignPanel(QWidget* owner = nullptr);
    ~TSignPanel() override;

    // Each setter keeps its value, then: the library loaded from the name
    // (the selection forgotten) and the samples built; the samples built
    // anew; the cells resized; the frame hidden.
    void SetDllName(const std::string& name, const std::string& folder);
    void SetFirstNumber(int32_t number);
    void SetLastNumber(int32_t number);
    void SetCellSize(int32_t size);
    void SetShowFrame(bool show);

    // Selects the sign: the frame moves to its sample and the library's
    // procedure is kept. A number without a sample changes only Selected.
    void Select(int32_t number);
    // The grid: left to right, a new row once a cell starts within two and
    // a half cells of the panel's right edge.
    void LayOut();

    QWidget* Frame;  // the red selection frame, three pixels wide
    std::string DllName;
    std::vector<TTessaraPanel*> Boxes;  // in sign-number order; tags hold the numbers
    TDynLib DllHandle;
    int32_t CellSize = 30;
    int32_t LastNumber = 0;
    int32_t FirstNumber = 0;
    bool ShowFrame = true;
    int32_t Selected = -1;
    TSymbolProc SelectedProc = nullptr;
    // After a click on a sample, with the sample.
    std::function<void(QWidget* sender)> OnClick;

protected:
    void resizeEvent(QResizeEvent* e) override;

private:
    void Build();
    void PaintBoxClick(TTessaraPanel& box);
    void PaintBoxPaint(TTessaraPanel& box);
    QWidget* Cells;  // the scrolled contents
};

class TSelectSignForm : public QDialog {
public:
    // The panel loads the main model's symbol library (none without a model).
    explicit TSelectSignForm(TInfoModule& info);

    // The preview: the selected sign at Size - 10 on white.
    void DrawPreview();
    // "Продолжить" goes only with a sign chosen at a size above 0.
    void UpdateButtons();

    TInfoModule& Info;
    QWidget* Panel3;
    QLabel* Label1;
    QSpinBox* Edit1;  // the size: 0 to 500 in steps of 5
    TTessaraPanel* PaintBox1;
    QWidget* Panel1;
    QWidget* Panel2;
    QPushButton* BitBtn1;  // "Продолжить"
    QPushButton* BitBtn2;  // "Отменить"
    int32_t Size = 50;  // the chosen size
    TSignPanel* SignPanel;

private:
    void Edit1Change();
};

} // namespace tarn
