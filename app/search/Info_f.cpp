#include "Info_f.h"

#include "app/common/Info_mdl.h"
#include "app/search/SearchTData.h"
#include "platform/Cp1251Qt.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

namespace tarn {

namespace {

constexpr int FormWidth = 400;
constexpr int FormHeight = 300;
constexpr int Panel1Height = 41;

} // namespace

TShowPanel MakeShowPanel(QWidget& window)
{
    TShowPanel top;
    top.Column = new QVBoxLayout(&window);
    top.Column->setContentsMargins(0, 0, 0, 0);
    top.Column->setSpacing(0);
    top.Panel1 = new QWidget(&window);
    top.Panel1->setObjectName("Panel1");
    top.Panel1->setFixedHeight(Panel1Height);
    auto* row = new QHBoxLayout(top.Panel1);
    row->setContentsMargins(6, 6, 6, 6);
    top.BitBtn1 = new QPushButton(QString::fromUtf8("Показать на карте"), top.Panel1);
    top.BitBtn1->setObjectName("BitBtn1");
    row->addWidget(top.BitBtn1);
    row->addStretch(1);
    top.Column->addWidget(top.Panel1);
    return top;
}

TInfoForm::TInfoForm(TInfoModule& info, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint), Info(info), IniFile(info.PositionFile)
{
    setObjectName("InfoForm");
    setWindowTitle(QString::fromUtf8("Информация"));
    resize(FormWidth, FormHeight);

    const TShowPanel top = MakeShowPanel(*this);
    QVBoxLayout* column = top.Column;
    Panel1 = top.Panel1;
    BitBtn1 = top.BitBtn1;

    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName("Memo1");
    Memo1->setReadOnly(true);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    QPalette face = Memo1->palette();
    face.setColor(QPalette::Base, face.color(QPalette::Button));
    Memo1->setPalette(face);
    column->addWidget(Memo1, 1);

    connect(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });
    RestoreWindowPlacement(*this, *IniFile, InfoFormSection);
}

TInfoForm::~TInfoForm() = default;

void TInfoForm::showEvent(QShowEvent* e)
{
    Panel1->setVisible(HasObject);
    QWidget::showEvent(e);
}

void TInfoForm::closeEvent(QCloseEvent* e)
{
    try {
        SaveWindowPlacement(*this, *IniFile, InfoFormSection);
    } catch (const std::exception& error) {
        Info.Services.ShowError(error.what());
    }
    e->accept();
}

void TInfoForm::BitBtn1Click()
{
    // An object the map cannot find leaves the map and its highlight as they were.
    if (HasObject && Model && View) ShowObjectOnMap(*Model, *View, Key);
}

void ShowTextWindow(TInfoModule& info, const TTextItemRec& text)
{
    if (!info.TextForm) info.TextForm = TOwned<TInfoForm>::Make(info);
    TInfoForm& form = *info.TextForm;
    form.Model = text.Model;
    form.View = text.View;
    form.Memo1->clear();
    form.Memo1->setPlainText(Cp1251ToQString(text.Text));
    form.HasObject = text.Key.Code >= 0;
    if (form.HasObject) form.Key = text.Key;
    form.Panel1->setVisible(form.HasObject);
    form.show();
    form.raise();
}

} // namespace tarn
