#include "Update_f.h"

#include "app/common/ControlHooks.h"
#include "app/common/FormPlacement.h"
#include "app/common/Info_mdl.h"
#include "db/TarnData.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QScrollArea>
#include <QVBoxLayout>

namespace tarn {

namespace {

constexpr int ClientWidth = 336;
constexpr int ClientHeight = 396;

// The information centre; the places are objects of the places' layer.
constexpr TObjectKey InfoCentreKey{0, 1, 11, 5, 811};
// The note on updates: an object action of the places' layer.
constexpr int32_t UpdateNoteCode = -1;

constexpr const char* WebAddress = "https://tarn.example.org/";

// The window's own data: who hands out new versions, in the order shown.
struct TPlace {
    const char* Name;
    const char* Address;
    const char* Phone;
};
constexpr TPlace Places[8] = {
    {"Книжный магазин «Глобус»", "пр. Центральный, 12", "тел. 2-14-56"},
    {"Салон «Карты и атласы»", "пр. Центральный, 31", "тел. 2-20-17"},
    {"Компьютерный центр «Пиксель»", "пр. Центральный, 47", "тел. 2-33-80"},
    {"Магазин «Канцтовары»", "пр. Центральный, 58", "тел. 2-41-09"},
    {"Дом книги", "пр. Центральный, 64", "тел. 2-45-12"},
    {"Турагентство «Маршрут»", "пр. Центральный, 73", "тел. 2-52-61"},
    {"Киоск «Пресса»", "пр. Центральный, 80", "тел. 2-58-44"},
    {"Салон связи «Волна»", "пр. Центральный, 95", "тел. 2-63-30"},
};

QLabel* Text(QWidget* parent, const QString& text)
{
    auto* l = new QLabel(text, parent);
    l->setWordWrap(true);
    return l;
}

// A label that acts on a click: drawn as a link, with the hand.
QLabel* Link(QWidget* parent, const char* name, const QString& text, const char* hint)
{
    QLabel* l = Text(parent, text);
    l->setObjectName(QString::fromLatin1(name));
    QFont f = l->font();
    f.setUnderline(true);
    l->setFont(f);
    QPalette p = l->palette();
    p.setColor(QPalette::WindowText, QColor(0, 0, 160));
    l->setPalette(p);
    l->setCursor(Qt::PointingHandCursor);
    l->setToolTip(QString::fromUtf8(hint));
    return l;
}

} // namespace

TUpdateForm::TUpdateForm(TInfoModule& info)
    : QWidget(nullptr, Qt::Window | Qt::WindowStaysOnTopHint), Info(info)
{
    setObjectName("UpdateForm");
    // Left open, it does not keep the program running once the main window closed.
    setAttribute(Qt::WA_QuitOnClose, false);
    setWindowTitle(QString::fromUtf8("Обновление"));
    resize(ClientWidth, ClientHeight);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    ScrollBox1 = new QScrollArea(this);
    ScrollBox1->setObjectName("ScrollBox1");
    ScrollBox1->setWidgetResizable(true);
    ScrollBox1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    column->addWidget(ScrollBox1);
    auto* box = new QWidget;
    auto* labels = new QVBoxLayout(box);
    labels->setContentsMargins(10, 8, 10, 8);
    labels->setSpacing(1);

    QLabel* heading = Text(box, QString::fromUtf8("Новые версии системы и свежие данные о городе можно получить:"));
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);
    labels->addWidget(heading);
    labels->addSpacing(6);

    QLabel** placeLabels[8] = {&Label18, &Label14, &Label15, &Label17, &Label1, &Label2, &Label3, &Label20};
    const char* placeNames[8] = {"Label18", "Label14", "Label15", "Label17", "Label1", "Label2", "Label3", "Label20"};
    for (int i = 0; i < 8; ++i) {
        QLabel* l = *placeLabels[i] =
            Link(box, placeNames[i], QString::fromUtf8(Places[i].Name), "Показать на карте");
        SetTag(l, i + 1);
        labels->addWidget(l);
        auto* row = new QHBoxLayout;
        row->addWidget(Text(box, QString::fromUtf8(Places[i].Address)), 1);
        row->addWidget(Text(box, QString::fromUtf8(Places[i].Phone)));
        labels->addLayout(row);
        labels->addSpacing(6);
        Hooks.push_back(TControlHooks::Of(l).OnClick.Install([this, l](const THook<>::TNext& next) {
            Label12Click(l);
            next();
        }));
    }

    Label5 = Link(box, "Label5", QString::fromUtf8("Информационный центр «TARN»"), "Показать на карте");
    labels->addWidget(Label5);
    labels->addWidget(Text(box, QString::fromUtf8("Справки об организациях, улицах и транспорте города")));
    labels->addSpacing(6);
    Label7 = Link(box, "Label7", QString::fromUtf8("Как обновить данные"), "Об обновлении данных");
    SetTag(Label7, UpdateNoteCode);
    labels->addWidget(Label7);
    labels->addSpacing(6);
    labels->addWidget(Text(box, QString::fromUtf8("Сайт системы:")));
    Label10 = Link(box, "Label10", QString::fromLatin1(WebAddress), "Открыть сайт системы");
    labels->addWidget(Label10);
    labels->addStretch(1);
    ScrollBox1->setWidget(box);

    Hooks.push_back(TControlHooks::Of(Label5).OnClick.Install([this](const THook<>::TNext& next) {
        Label5Click();
        next();
    }));
    Hooks.push_back(TControlHooks::Of(Label7).OnClick.Install([this](const THook<>::TNext& next) {
        Label7Click(Label7);
        next();
    }));
    Hooks.push_back(TControlHooks::Of(Label10).OnClick.Install([this](const THook<>::TNext& next) {
        Label10Click(Label10);
        next();
    }));
    FormPlacement1 = new TFormPlacement(*this, info, "UpdateForm");
}

TUpdateForm::~TUpdateForm() = default;

void TUpdateForm::Label12Click(QObject* sender)
{
    const int32_t tag = TagOf(sender);
    if (tag != 0) Info.ShowObjectOnMap(TObjectKey{0, 1, PlacesLayerID, PlacesSheetID, tag});
}

void TUpdateForm::Label5Click() { Info.ShowObjectOnMap(InfoCentreKey); }

void TUpdateForm::Label7Click(QObject* sender)
{
    const int32_t tag = TagOf(sender);
    if (tag == 0 || !Info.MainForm) return;
    TBusy busy(Info.Services);
    Info.MainForm->ExecuteObjectAction(TObjectKey{0, 1, PlacesLayerID, PlacesSheetID, tag});
}

void TUpdateForm::Label10Click(QObject* sender)
{
    // Only an address goes out: the shell service refuses anything else.
    if (const auto* label = qobject_cast<const QLabel*>(sender))
        Info.Services.OpenAddress(label->text().toStdString());
}

} // namespace tarn
