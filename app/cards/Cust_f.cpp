#include "Cust_f.h"

#include "app/cards/UnCont.h"
#include "app/cards/Unzip.h"
#include "app/common/Info_mdl.h"
#include "platform/Cp1251.h"
#include "platform/Cp1251Qt.h"
#include "platform/TempFolders.h"

#include <QCloseEvent>
#include <QDir>
#include <QHBoxLayout>
#include <QPainter>
#include <QPushButton>
#include <QShowEvent>
#include <QToolButton>
#include <QVBoxLayout>

namespace tarn {

namespace {

// A magnifier over a map pin: "show on the map".
QIcon ShowIcon()
{
    QPixmap pm(20, 20);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(40, 40, 40), 2));
    p.setBrush(QColor(200, 230, 255));
    p.drawEllipse(QRectF(2, 2, 11, 11));
    p.drawLine(QPointF(12, 12), QPointF(18, 18));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(220, 30, 30));
    p.drawEllipse(QRectF(5.5, 4.5, 4, 4));
    return QIcon(pm);
}

bool SameLetters(const std::string& a, const char* b)
{
    return QString::fromStdString(a).compare(QLatin1String(b), Qt::CaseInsensitive) == 0;
}

} // namespace

TCustomInfoForm::TCustomInfoForm(TInfoModule& info, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint), Info(info), ShowBtn(new QToolButton),
      BackButton(new QPushButton(QString::fromUtf8("Назад"))), FwdButton(new QPushButton(QString::fromUtf8("Вперед"))),
      Container(new TUniversalContainer(info.Services))
{
    setObjectName("CustomInfoForm");
    setWindowTitle(QString::fromUtf8("Информация"));
    ShowBtn->setObjectName("ShowBtn");
    ShowBtn->setIcon(ShowIcon());
    ShowBtn->setAutoRaise(true);
    ShowBtn->setToolTip(QString::fromUtf8("Показать объект на карте"));
    ShowBtn->setStatusTip(ShowBtn->toolTip());
    BackButton->setObjectName("BackButton");
    FwdButton->setObjectName("FwdButton");

    auto* buttons = new QWidget;
    buttons->setObjectName("Panel2");
    auto* row = new QHBoxLayout(buttons);
    row->setContentsMargins(2, 2, 2, 2);
    row->addWidget(ShowBtn);
    row->addWidget(BackButton);
    row->addWidget(FwdButton);
    row->addStretch(1);
    auto* panel = new QWidget;
    panel->setObjectName("Panel1");
    auto* column = new QVBoxLayout(panel);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(buttons);
    column->addWidget(Container, 1);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(panel);

    QObject::connect(ShowBtn, &QToolButton::clicked, this, [this] { ShowBtnClick(); });
    Container->SetBackButton(BackButton);
    Container->SetForwardButton(FwdButton);
    Container->SetHideNavigation(true);
    resize(520, 440);
    RestoreWindowPlacement(*this, *Info.PositionFile, CustomFormSection);
}

TCustomInfoForm::~TCustomInfoForm() = default;

std::string TCustomInfoForm::TempFolder() const { return Folder ? Folder->Path() : std::string(); }

void TCustomInfoForm::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

void TCustomInfoForm::closeEvent(QCloseEvent* event)
{
    SaveWindowPlacement(*this, *Info.PositionFile, CustomFormSection);
    // What the card unpacked goes with the window.
    Container->Clear();
    Folder.reset();
    QWidget::closeEvent(event);
}

void TCustomInfoForm::Report(const std::string& message)
{
    if (!Quiet) Info.Services.ShowError(message);
}

void TCustomInfoForm::FormShow()
{
    if (!Card) return;
    const TCardRec card = *Card;
    Container->Clear();
    Container->SetLocalFolder({});
    Folder.reset();
    ShowBtn->setVisible(card.Key.Code > 0);

    std::string bytes;
    try {
        bytes = ReadCardData(card);
    } catch (const ETarnError& e) {
        Report("Не удаётся прочитать карточку «" + Cp1251ToUtf8(card.Name) + "»: " + e.what());
        return;
    }
    if (card.Archive) {
        if (!ShowArchive(bytes)) return;
    } else if (Container->LoadFromMemory(bytes, card.FileType) != TUniversalContainer::Loaded) {
        return;
    }
    Container->ShowContainer();
}

bool TCustomInfoForm::ShowArchive(const std::string& bytes)
{
    if (!SameLetters(Card->ContainerType, "ZIP")) return false;
    Folder = std::make_unique<TOwnedTempFolder>(QDir::tempPath().toStdString(), "tarn-card-");
    if (Folder->Path().empty()) {
        Report("Cannot create a folder for the card: " + Folder->Error());
        Folder.reset();
        return false;
    }
    const std::string folder = Folder->Path();
    const std::string source = (Card->Source ? Card->Source->Name() : std::string("card")) + ", card at " +
                               std::to_string(Card->DataOffset);
    try {
        if (UnzipToFolder(bytes, folder, source) == 0) return false;
    } catch (const ETarnError& e) {
        Report(e.what());
        return false;
    }
    // The database's name of the main file, by the archive's own rules.
    const std::string main = FindInFolder(folder, Cp1251ToQString(Card->MainFile));
    if (main.empty()) return false;
    Container->SetLocalFolder(folder);
    return Container->LoadFromFile(main) == TUniversalContainer::Loaded;
}

void TCustomInfoForm::ShowBtnClick()
{
    if (!Card || Card->Key.Code < 1) return;
    if (Card->Model && Card->View) ShowObjectOnMap(*Card->Model, *Card->View, Card->Key);
    else Info.ShowObjectOnMap(Card->Key);
}

void OpenCardWindow(TInfoModule& info, const TCardRec& card)
{
    info.CardForm.reset();
    info.CardForm = TOwned<TCustomInfoForm>::Make(info);
    info.CardForm->SetCard(card);
    info.CardForm->show();
}

QString CardPlainText(TInfoModule& info, const TCardRec& card)
{
    // A window of its own that is never shown, with its own folder.
    TCustomInfoForm form(info);
    form.Quiet = true;
    form.SetCard(card);
    form.FormShow();
    return form.Container->GetText();
}

} // namespace tarn
