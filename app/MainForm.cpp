// The main window's layout and the wiring of its controls to their handlers.
#include "MainForm.h"

#include "app/Gauge_f.h"
#include "app/SecretPanel.h"
#include "app/common/Cursors.h"
#include "app/common/Info_mdl.h"

#include <QAction>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMovie>
#include <QPainter>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <functional>

namespace tarn {

namespace {

constexpr int FormWidth = 700;
constexpr int FormHeight = 636;
constexpr int LeftPanelWidth = 219;
constexpr int BannerHeight = 70;
constexpr int WayPanelHeight = 41;
constexpr int InetPanelHeight = 31;

// The codes of the credits' actions (layer 67, sheet 24).
constexpr int32_t CreditTags[3] = {-3, -4, -5};

QVBoxLayout* Column(QWidget* w)
{
    auto* l = new QVBoxLayout(w);
    l->setContentsMargins(0, 0, 0, 0);
    l->setSpacing(0);
    return l;
}

template <class T>
T* Named(T* w, const char* name)
{
    w->setObjectName(QString::fromLatin1(name));
    return w;
}

// A hint shows as the control's tooltip and, in full, in the status bar.
void Hint(QWidget* w, const char* text)
{
    w->setToolTip(QString::fromUtf8(text));
    w->setStatusTip(QString::fromUtf8(text));
}

// A credit's picture: a coloured badge with a letter.
QPixmap Badge(QColor colour, const QString& letter)
{
    QPixmap pm(32, 32);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawRoundedRect(2, 2, 28, 28, 6, 6);
    QFont f("DejaVu Sans");
    f.setBold(true);
    f.setPixelSize(16);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(QRect(2, 2, 28, 28), Qt::AlignCenter, letter);
    return pm;
}

} // namespace

TMainForm::TMainForm(TInfoModule& info, TGaugeForm* gauge)
    : InfoModule(info), Services(info.Services), Gauge(gauge), ProgramDirName(info.ProgramDir())
{
    setObjectName("MainForm");
    OpenContextMenusOnRelease();
    setWindowTitle(QString::fromUtf8(
        "Информационно-справочная система по г.Листоград \"TARN\" (версия от 01.02.2000)"));
    resize(FormWidth, FormHeight);
    BuildLayout();
    BuildMenus();
    Timer1 = Named(new QTimer(this), "Timer1");
    Timer1->setInterval(60000);
    Timer2 = Named(new QTimer(this), "Timer2");
    Timer2->setInterval(90000);
    WireEvents();
    InfoModule.MainForm = this;
}

void TMainForm::BuildLayout()
{
    GlobalPanel = Named(new QWidget(this), "GlobalPanel");
    Column(this)->addWidget(GlobalPanel);
    Splitter2 = Named(new QSplitter(Qt::Horizontal, GlobalPanel), "Splitter2");
    Splitter2->setChildrenCollapsible(false);
    Column(GlobalPanel)->addWidget(Splitter2);

    // The map side.
    RightPanel = Named(new QWidget, "RightPanel");
    QVBoxLayout* right = Column(RightPanel);
    Panel2 = Named(new QWidget, "Panel2");
    MapPanel = Named(new TTessaraPanel(Panel2), "MapPanel");
    Column(Panel2)->addWidget(MapPanel);
    right->addWidget(Panel2, 1);
    StatusBar1 = Named(new QStatusBar, "StatusBar1");
    StatusBar1->setSizeGripEnabled(false);
    NumPanel = Named(new QLabel, "NumPanel");
    NumPanel->hide();
    StatusBar1->addPermanentWidget(NumPanel);
    right->addWidget(StatusBar1);
    // The ticker lies over the status bar; it is placed and shown by its own steps.
    SecretPanel1 = new TSecretPanel(RightPanel);
    SecretPanel1->hide();

    // The tool side.
    LeftPanel = Named(new QWidget, "LeftPanel");
    QVBoxLayout* left = Column(LeftPanel);
    PanelPanel = Named(new QWidget, "PanelPanel");
    left->addWidget(PanelPanel);
    QVBoxLayout* tools = Column(PanelPanel);

    Panel1 = Named(new QWidget, "Panel1");
    Panel1->setFixedHeight(BannerHeight);
    Panel1->setAutoFillBackground(true);
    QPalette white = Panel1->palette();
    white.setColor(QPalette::Window, Qt::white);
    Panel1->setPalette(white);
    tools->addWidget(Panel1);

    Splitter1 = Named(new QSplitter(Qt::Vertical), "Splitter1");
    Splitter1->setChildrenCollapsible(false);
    NavPanel = Named(new QWidget, "NavPanel");
    IvPanel = Named(new QWidget(NavPanel), "IvPanel");
    Column(NavPanel)->addWidget(IvPanel);
    Splitter1->addWidget(NavPanel);

    PageControl1 = Named(new QTabWidget, "PageControl1");
    // Three tabs side by side within the tool side's width.
    PageControl1->setStyleSheet("QTabBar::tab { padding: 3px 4px; }");
    QFont tabFont = PageControl1->tabBar()->font();
    tabFont.setPointSize(8);
    PageControl1->tabBar()->setFont(tabFont);
    TabSheet1 = Named(new QWidget, "TabSheet1");
    {
        QVBoxLayout* l = Column(TabSheet1);
        StreetE = Named(new QLineEdit, "StreetE");
        StreetList = Named(new QListWidget, "StreetList");
        ShowStreetBtn = Named(new QPushButton(QString::fromUtf8("Показать")), "ShowStreetBtn");
        l->addWidget(StreetE);
        l->addWidget(StreetList, 1);
        l->addWidget(ShowStreetBtn);
    }
    TabSheet3 = Named(new QWidget, "TabSheet3");
    {
        QVBoxLayout* l = Column(TabSheet3);
        ObjE = Named(new QLineEdit, "ObjE");
        ObjList = Named(new QListWidget, "ObjList");
        ObjBtn = Named(new QPushButton(QString::fromUtf8("Показать")), "ObjBtn");
        ObjPanel = Named(new QLabel, "ObjPanel");
        l->addWidget(ObjE);
        l->addWidget(ObjList, 1);
        l->addWidget(ObjBtn);
        l->addWidget(ObjPanel);
    }
    TabSheet2 = Named(new QWidget, "TabSheet2");
    BuildInformationTab();
    PageControl1->addTab(TabSheet1, QString::fromUtf8("Улицы"));
    PageControl1->addTab(TabSheet3, QString::fromUtf8("Объекты"));
    PageControl1->addTab(TabSheet2, QString::fromUtf8("Информация"));
    Hint(ShowStreetBtn, "Показать на карте");
    Hint(ObjBtn, "Показать на карте");
    // The search lists and their buttons wait for the lists themselves.
    for (QWidget* w : {static_cast<QWidget*>(StreetE), static_cast<QWidget*>(StreetList),
                       static_cast<QWidget*>(ShowStreetBtn), static_cast<QWidget*>(ObjE),
                       static_cast<QWidget*>(ObjList), static_cast<QWidget*>(ObjBtn)})
        w->setEnabled(false);
    Splitter1->addWidget(PageControl1);
    Splitter1->setStretchFactor(1, 1);
    tools->addWidget(Splitter1, 1);

    WayPanel = Named(new QLabel, "WayPanel");
    WayPanel->setFixedHeight(WayPanelHeight);
    QFont bold = WayPanel->font();
    bold.setBold(true);
    bold.setPixelSize(21);
    WayPanel->setFont(bold);
    WayPanel->setAlignment(Qt::AlignCenter);
    WayPanel->hide();
    tools->addWidget(WayPanel);

    Panel7 = Named(new QWidget, "Panel7");
    BuildToolButtons();
    tools->addWidget(Panel7);

    InetPanel = Named(new QWidget, "InetPanel");
    InetPanel->setFixedHeight(InetPanelHeight);
    {
        auto* l = new QHBoxLayout(InetPanel);
        l->setContentsMargins(4, 2, 4, 2);
        GifAnimator1 = Named(new QLabel, "GifAnimator1");
        GifAnimator1->setFixedSize(InetPanelHeight - 4, InetPanelHeight - 4);
        // A globe turning, for as long as the window lives.
        auto* globe = new QMovie(QStringLiteral(":/icons/site.gif"), QByteArray(), GifAnimator1);
        globe->setCacheMode(QMovie::CacheAll);
        GifAnimator1->setMovie(globe);
        globe->start();
        InetLabel = Named(new QLabel(QString::fromUtf8("Сайт системы")), "InetLabel");
        l->addWidget(GifAnimator1);
        l->addWidget(InetLabel, 1);
        for (QWidget* w : {static_cast<QWidget*>(GifAnimator1), static_cast<QWidget*>(InetLabel)}) {
            Hint(w, "Открыть сайт системы");
            w->setCursor(Qt::PointingHandCursor);
        }
    }
    tools->addWidget(InetPanel);

    Splitter2->addWidget(RightPanel);
    Splitter2->addWidget(LeftPanel);
    Splitter2->setStretchFactor(0, 1);
    Splitter2->setStretchFactor(1, 0);
    Splitter2->setSizes({FormWidth - LeftPanelWidth, LeftPanelWidth});

    MapPanel->SetColor(Rgb(255, 255, 255));
}

void TMainForm::BuildInformationTab()
{
    auto* grid = new QGridLayout(TabSheet2);
    grid->setContentsMargins(6, 6, 6, 6);
    grid->setSpacing(6);
    struct TCredit {
        QLabel** Image;
        const char* ImageName;
        QLabel** Label;
        const char* LabelName;
        const char* Text;
        QColor Colour;
        const char* Letter;
    } const credits[] = {
        {&Image1, "Image1", &Label1, "Label1", "Разработчики", QColor(40, 90, 160), "Р"},
        {&Image2, "Image2", &Label3, "Label3", "Картография", QColor(40, 140, 70), "К"},
        {&Image5, "Image5", &Label7, "Label7", "Источники данных", QColor(170, 90, 30), "Д"},
    };
    int row = 0;
    for (const TCredit& c : credits) {
        QLabel* image = *c.Image = Named(new QLabel, c.ImageName);
        image->setPixmap(Badge(c.Colour, QString::fromUtf8(c.Letter)));
        QLabel* label = *c.Label = Named(new QLabel(QString::fromUtf8(c.Text)), c.LabelName);
        label->setWordWrap(true);
        for (QLabel* w : {image, label}) {
            SetTag(w, CreditTags[row]);
            w->setCursor(Qt::PointingHandCursor);
            Hint(w, c.Text);
        }
        grid->addWidget(image, row, 0);
        grid->addWidget(label, row, 1);
        ++row;
    }
    Label5 = Named(new QLabel(QString::fromUtf8("Городская справочная")), "Label5");
    Label6 = Named(new QLabel(QString::fromUtf8("Туристическое бюро")), "Label6");
    for (QLabel* w : {Label5, Label6}) {
        w->setCursor(Qt::PointingHandCursor);
        Hint(w, "Показать на карте");
        grid->addWidget(w, row++, 0, 1, 2);
    }
    grid->setRowStretch(row, 1);
    grid->setColumnStretch(1, 1);
}

void TMainForm::BuildToolButtons()
{
    auto* grid = new QGridLayout(Panel7);
    grid->setContentsMargins(4, 4, 4, 4);
    grid->setSpacing(2);
    auto button = [this, grid](const char* name, const QString& text, int row, int col, const char* hint) {
        auto* b = Named(new QToolButton(Panel7), name);
        b->setText(text);
        b->setFixedSize(30, 28);
        b->setEnabled(false);  // enabled by the part that handles it
        Hint(b, hint);
        grid->addWidget(b, row, col);
        return b;
    };
    auto icon = [](QToolButton* b, const char* cursor) {
        b->setIcon(QIcon(QPixmap::fromImage(LoadCursorResource(cursor).Image)));
        b->setText(QString());
    };
    SpeedButton5 = button("SpeedButton5", QString::fromUtf8("↖"), 0, 0, "Сдвинуть карту вверх и влево");
    UpBtn = button("UpBtn", QString::fromUtf8("↑"), 0, 1, "Сдвинуть карту вверх");
    SpeedButton6 = button("SpeedButton6", QString::fromUtf8("↗"), 0, 2, "Сдвинуть карту вверх и вправо");
    SpeedButton3 = button("SpeedButton3", QString::fromUtf8("←"), 1, 0, "Сдвинуть карту влево");
    SpeedButton10 = button("SpeedButton10", QString::fromUtf8("▣"), 1, 1, "Показать всю карту");
    SpeedButton4 = button("SpeedButton4", QString::fromUtf8("→"), 1, 2, "Сдвинуть карту вправо");
    SpeedButton7 = button("SpeedButton7", QString::fromUtf8("↙"), 2, 0, "Сдвинуть карту вниз и влево");
    SpeedButton2 = button("SpeedButton2", QString::fromUtf8("↓"), 2, 1, "Сдвинуть карту вниз");
    SpeedButton8 = button("SpeedButton8", QString::fromUtf8("↘"), 2, 2, "Сдвинуть карту вниз и вправо");
    ZoomInBtn = button("ZoomInBtn", QStringLiteral("+"), 0, 3, "Увеличить масштаб");
    ZoomOutBtn = button("ZoomOutBtn", QString::fromUtf8("−"), 1, 3, "Уменьшить масштаб");
    LupaBtn = button("LupaBtn", QString(), 0, 4, "Лупа: увеличить выбранную часть карты");
    MoveBtn = button("MoveBtn", QString(), 1, 4, "Перемещение карты мышью");
    WayBtn = button("WayBtn", QString(), 2, 4, "Измерение расстояний");
    UserSignBtn = button("UserSignBtn", QString::fromUtf8("✚"), 2, 3, "Пользовательские значки");
    SpeedButton1 = button("SpeedButton1", QString::fromUtf8("⚙"), 0, 5, "Настройка");
    SpeedButton9 = button("SpeedButton9", QString::fromUtf8("☰"), 1, 5, "Легенда");
    UpdateBtn = button("UpdateBtn", QString::fromUtf8("⟳"), 2, 5, "Где получить обновление");
    icon(LupaBtn, "ZOOM");
    icon(MoveBtn, "HAND");
    icon(WayBtn, "PEN");

    // The magnifier and pan buttons stay down while their mode lasts; a
    // second click lets them up.
    for (QToolButton* b : {LupaBtn, MoveBtn, WayBtn}) b->setCheckable(true);
    for (QToolButton* b : {LupaBtn, MoveBtn, WayBtn, SpeedButton10, SpeedButton1, SpeedButton9, UpdateBtn})
        b->setEnabled(true);
}

void TMainForm::BuildMenus()
{
    // The navigator's menu on the tool side.
    PopupMenu1 = Named(new QMenu(this), "PopupMenu1");
    miNav = PopupMenu1->addAction(QString::fromUtf8("Скрыть навигатор"));
    miNav->setObjectName("miNav");
    miNav->setEnabled(false);  // comes with the navigator
    LeftPanel->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(LeftPanel, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { PopupMenu1->popup(LeftPanel->mapToGlobal(at)); });

    // The user-sign button's menu.
    PopupMenu2 = Named(new QMenu(this), "PopupMenu2");
    N1 = PopupMenu2->addAction(QString::fromUtf8("Добавить значок"));
    N1->setObjectName("N1");
    N_2 = PopupMenu2->addAction(QString::fromUtf8("Удалить значок"));
    N_2->setObjectName("N_2");
    N2 = PopupMenu2->addAction(QString::fromUtf8("Переместить значок"));
    N2->setObjectName("N2");
    N3 = PopupMenu2->addSeparator();
    N3->setObjectName("N3");
    UserSignBtn->setMenu(PopupMenu2);
    UserSignBtn->setPopupMode(QToolButton::InstantPopup);
}

void TMainForm::WireEvents()
{
    MapPanel->OnPaint = [this](TTessaraPanel&) { MapPanelPaint(); };
    MapPanel->OnResize = [this](TTessaraPanel&) { FormResize(); };
    MapPanel->OnMouseDown = [this](TTessaraPanel&, TMouseButton b, uint32_t s, int32_t x, int32_t y) {
        MapPanelMouseDown(b, s, x, y);
    };
    MapPanel->OnMouseMove = [this](TTessaraPanel&, uint32_t s, int32_t x, int32_t y) { MapPanelMouseMove(s, x, y); };
    MapPanel->OnMouseUp = [this](TTessaraPanel&, TMouseButton b, uint32_t s, int32_t x, int32_t y) {
        MapPanelMouseUp(b, s, x, y);
    };

    // Each handler passes the event on: the controls keep their own behaviour.
    auto onClick = [this](QWidget* w, std::function<void()> f) {
        Hooks.push_back(TControlHooks::Of(w).OnClick.Install([f](const THook<>::TNext& next) {
            f();
            next();
        }));
    };
    onClick(MapPanel->SurfaceWidget(), [this] { MapPanelClick(); });
    onClick(IvPanel, [this] { MapPanelClick(); });
    for (QLabel* w : {Image1, Label1, Image2, Label3, Image5, Label7}) onClick(w, [this, w] { Image1Click(w); });
    onClick(Label5, [this] { Label5Click(); });
    onClick(Label6, [this] { Label6Click(); });
    onClick(GifAnimator1, [this] { GifAnimator1Click(); });
    onClick(InetLabel, [this] { GifAnimator1Click(); });

    for (QListWidget* list : {StreetList, ObjList}) {
        // A right click on a row shows the object's text while held, and
        // only that: the tool side's menu does not open over it.
        list->setContextMenuPolicy(Qt::PreventContextMenu);
        TControlHooks& h = TControlHooks::Of(list);
        Hooks.push_back(h.OnEnter.Install([this](const THook<>::TNext& next) {
            StreetListEnter();
            next();
        }));
        list->viewport()->setMouseTracking(true);
        Hooks.push_back(h.OnMouseMove.Install(
            [this, list](const THook<uint32_t, int32_t, int32_t>::TNext& next, uint32_t s, int32_t x, int32_t y) {
                StreetListMouseMove(list, s, x, y);
                next(s, x, y);
            }));
    }
    for (QWidget* w : {static_cast<QWidget*>(StreetE), static_cast<QWidget*>(StreetList),
                       static_cast<QWidget*>(ObjE), static_cast<QWidget*>(ObjList)})
        Hooks.push_back(TControlHooks::Of(w).OnMousePress.Install(
            [this](const THook<TMouseButton, uint32_t, int32_t, int32_t>::TNext& next, TMouseButton b, uint32_t s,
                   int32_t x, int32_t y) {
                SetFalseMapFocused();
                next(b, s, x, y);
            }));
    Hooks.push_back(TControlHooks::Of(StreetE).OnKeyPress.Install([this](const THook<QChar&>::TNext& next, QChar& c) {
        StreetEKeyPress(c);
        next(c);
    }));

    // The window sees every key first: its own handlers below, the short
    // cut (Tab) above them, so the button box installed later runs first.
    TControlHooks& form = TControlHooks::Of(this);
    form.SetKeyPreview(true);
    Hooks.push_back(form.OnKeyDown.Install([this](const THook<TKeyArgs&>::TNext& next, TKeyArgs& k) {
        // Once the button box holds the window's keys it calls the handler.
        if (!ButtonBox) FormKeyDown(k);
        next(k);
    }));
    Hooks.push_back(form.OnKeyUp.Install([this](const THook<TKeyArgs&>::TNext& next, TKeyArgs& k) {
        FormKeyUp(k);
        next(k);
    }));
    Hooks.push_back(form.OnKeyDown.Install([this](const THook<TKeyArgs&>::TNext& next, TKeyArgs& k) {
        AppEvents1ShortCut(k);
        next(k);
    }));
    Hooks.push_back(TControlHooks::Of(Panel2).OnResize.Install([this](const THook<>::TNext& next) {
        Panel2Resize();
        next();
    }));

    connect(LupaBtn, &QToolButton::clicked, this, [this] { LupaBtnClick(); });
    connect(MoveBtn, &QToolButton::clicked, this, [this] { MoveBtnClick(); });
    connect(WayBtn, &QToolButton::clicked, this, [this] { WayBtnClick(); });
    connect(SpeedButton1, &QToolButton::clicked, this, [this] { SpeedButton1Click(); });
    connect(SpeedButton9, &QToolButton::clicked, this, [this] { SpeedButton9Click(); });
    connect(UpdateBtn, &QToolButton::clicked, this, [this] { UpdateBtnClick(); });
    connect(SpeedButton10, &QToolButton::clicked, this, [this] { SpeedButton10Click(); });
    connect(ZoomInBtn, &QToolButton::clicked, this, [this] { ZoomInBtnClick(); });
    connect(ZoomOutBtn, &QToolButton::clicked, this, [this] { ZoomOutBtnClick(); });
    connect(miNav, &QAction::triggered, this, [this] { miNavClick(true); });
    connect(N1, &QAction::triggered, this, [this] { N1Click(); });
    connect(N_2, &QAction::triggered, this, [this] { N_2Click(); });
    connect(N2, &QAction::triggered, this, [this] { N2Click(); });
    connect(Splitter1, &QSplitter::splitterMoved, this, [this] { Splitter1Moved(); });
    connect(Splitter2, &QSplitter::splitterMoved, this, [this] { Splitter2Moved(); });
    connect(PageControl1, &QTabWidget::currentChanged, this, [this] { PageControl1Change(); });
    connect(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });
    connect(Timer2, &QTimer::timeout, this, [this] { Timer2Timer(); });
    SecretPanel1->OnStopPlay = [this] { SecretPanel1StopPlay(); };
}

bool TMainForm::event(QEvent* e)
{
    // Hints of every control end here on their way up.
    if (e->type() == QEvent::StatusTip) {
        ApplicationHint(static_cast<QStatusTipEvent*>(e)->tip());
        return true;
    }
    return QWidget::event(e);
}

void TMainForm::ApplicationHint(const QString& hint)
{
    // A hint may have a short part for the tooltip and a long one after "|".
    const qsizetype bar = hint.indexOf(QLatin1Char('|'));
    StatusBar1->showMessage(bar < 0 ? hint : hint.mid(bar + 1));
}

} // namespace tarn
