#pragma once
// The options dialog ("Настройка"): drawing the map through an off-screen
// raster, and the font of the map's labels. The main window fills it from
// "tarn.ini", shows it modally and applies what changed.
#include <QDialog>
#include <QStringList>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;

namespace tarn {

class TInfoModule;

// A family a layer's font record can name: its name in code page 1251,
// within the record's 32 bytes with their terminating zero.
bool FitsFontRecord(const QString& family);
// A family the labels can be drawn in: scalable, with Cyrillic letters
// (else the labels would be boxes), and fitting the font record.
bool IsLabelFontFamily(const QString& family);
// The families the label font can be chosen from, sorted.
QStringList LabelFontFamilies();

class TOptionsForm : public QDialog {
public:
    explicit TOptionsForm(TInfoModule& info);

    // The font list showing `family`; an empty name chooses none, a name
    // not installed is still shown (so OK leaves it as it was).
    void SetFontName(const QString& family);
    // The family chosen; empty when none is.
    QString FontName() const;

    TInfoModule& Info;
    QCheckBox* CheckBox1;  // "Отрисовка карты через растр"
    QLabel* Label1;
    QComboBox* FontComboBox1;
    QPushButton* BitBtn1;  // OK
    QPushButton* BitBtn2;  // "Отменить"
};

} // namespace tarn
