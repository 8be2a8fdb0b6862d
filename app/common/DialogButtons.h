#pragma once
// The row of buttons at the foot of the program's dialogs: Panel1 across
// the bottom, Panel2 at its right end holding the buttons. The first
// button ends the dialog accepted (the default button), the second
// rejected; an empty caption leaves a button out.
#include <QString>

class QDialog;
class QPushButton;
class QWidget;

namespace tarn {

struct TButtonRow {
    QWidget* Panel1 = nullptr;
    QWidget* Panel2 = nullptr;
    QPushButton* Ok = nullptr;      // "BitBtn1"
    QPushButton* Cancel = nullptr;  // "BitBtn2", or "BitBtn1" without an OK button
};

TButtonRow MakeButtonRow(QDialog& dialog, const QString& ok, const QString& cancel);

} // namespace tarn
