#include "Opt_f.h"

#include "app/common/DialogButtons.h"
#include "platform/Cp1251.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace tarn {

namespace {
constexpr int FaceNameBytes = 32;
}

bool FitsFontRecord(const QString& family)
{
    if (family.isEmpty()) return false;
    // Code page 1251 maps each character it has to one byte.
    const std::u16string text(reinterpret_cast<const char16_t*>(family.utf16()), std::size_t(family.size()));
    for (char16_t c : text)
        if (c == 0 || UnicodeToCp1251(c) < 0) return false;
    return family.size() < FaceNameBytes;
}

bool IsLabelFontFamily(const QString& family)
{
    return FitsFontRecord(family) && QFontDatabase::isScalable(family) && !QFontDatabase::isPrivateFamily(family) &&
           QFontDatabase::writingSystems(family).contains(QFontDatabase::Cyrillic);
}

QStringList LabelFontFamilies()
{
    QStringList families;
    for (const QString& f : QFontDatabase::families(QFontDatabase::Cyrillic))
        if (IsLabelFontFamily(f)) families << f;
    families.removeDuplicates();
    std::sort(families.begin(), families.end(),
              [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
    return families;
}

TOptionsForm::TOptionsForm(TInfoModule& info) : Info(info)
{
    setObjectName("OptionsForm");
    setWindowTitle(QString::fromUtf8("Настройка"));
    auto* column = new QVBoxLayout(this);
    CheckBox1 = new QCheckBox(QString::fromUtf8("Отрисовка карты через растр"));
    CheckBox1->setObjectName("CheckBox1");
    Label1 = new QLabel(QString::fromUtf8("Шрифт для надписей на карте:"));
    Label1->setObjectName("Label1");
    FontComboBox1 = new QComboBox;
    FontComboBox1->setObjectName("FontComboBox1");
    FontComboBox1->addItems(LabelFontFamilies());
    Label1->setBuddy(FontComboBox1);
    column->addWidget(CheckBox1);
    column->addSpacing(8);
    column->addWidget(Label1);
    column->addWidget(FontComboBox1);
    column->addStretch(1);
    const TButtonRow row = MakeButtonRow(*this, QStringLiteral("OK"), QString::fromUtf8("Отменить"));
    BitBtn1 = row.Ok;
    BitBtn2 = row.Cancel;
    column->addWidget(row.Panel1);
    resize(320, 170);
}

void TOptionsForm::SetFontName(const QString& family)
{
    if (family.isEmpty()) {
        FontComboBox1->setCurrentIndex(-1);
        return;
    }
    int at = FontComboBox1->findText(family, Qt::MatchFixedString);
    if (at < 0) {
        FontComboBox1->insertItem(0, family);
        at = 0;
    }
    FontComboBox1->setCurrentIndex(at);
}

QString TOptionsForm::FontName() const
{
    return FontComboBox1->currentIndex() < 0 ? QString() : FontComboBox1->currentText();
}

} // namespace tarn
