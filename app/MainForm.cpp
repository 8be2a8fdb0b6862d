// The main window's layout and the map panel's events.
#include "MainForm.h"

#include "app/Cursors.h"
#include "app/Gauge_f.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace tarn {

namespace {

constexpr int FormWidth = 700;
constexpr int FormHeight = 636;
constexpr int LeftPanelWidth = 219;
constexpr int BannerHeight = 70;
constexpr int WayPanelHeight = 41;
constexpr int InetPanelHeight = 31;

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

} // namespace

TMainForm::TMainForm(std::string programDir, TAppServices& services, TGaugeForm* gauge)
    : ProgramDirName(std::move(programDir)), Services(services), Gauge(gauge)
{
    setObjectName("MainForm");
    setWindowTitle(QString::fromUtf8(
        "Информационно-справочная система по г.Листоград \"TARN\" (версия от 01.02.2000)"));
    resize(FormWidth, FormHeight);
    BuildLayout();
    Timer1 = Named(new QTimer(this), "Timer1");
    Timer1->setInterval(60000);
    Timer2 = Named(new QTimer(this), "Timer2");
    Timer2->setInterval(90000);
}

TMainForm::~TMainForm()
{
    if (!Destroyed) {
        try {
            FormDestroy();
        } catch (...) {
            // Nobody is left to tell; the settings stay as they were.
        }
    }
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
    right->addWidget(StatusBar1);
    // The ticker lies over the status bar; it is placed and shown by its own steps.
    SecretPanel1 = Named(new QLabel(Panel2), "SecretPanel1");
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
    PageControl1->addTab(TabSheet1, QString::fromUtf8("Улицы"));
    PageControl1->addTab(TabSheet3, QString::fromUtf8("Объекты"));
    PageControl1->addTab(TabSheet2, QString::fromUtf8("Информация"));
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

    InetPanel = Named(new QLabel, "InetPanel");
    InetPanel->setFixedHeight(InetPanelHeight);
    tools->addWidget(InetPanel);

    Splitter2->addWidget(RightPanel);
    Splitter2->addWidget(LeftPanel);
    Splitter2->setStretchFactor(0, 1);
    Splitter2->setStretchFactor(1, 0);
    Splitter2->setSizes({FormWidth - LeftPanelWidth, LeftPanelWidth});

    MapPanel->SetColor(Rgb(255, 255, 255));
    MapPanel->OnPaint = [this](TTessaraPanel&) { MapPanelPaint(); };
    MapPanel->OnResize = [this](TTessaraPanel&) { MapPanelResize(); };
    MapPanel->OnMouseDown = [this](TTessaraPanel&, TMouseButton b, uint32_t s, int32_t x, int32_t y) {
        MapPanelMouseDown(b, s, x, y);
    };
    MapPanel->OnMouseMove = [this](TTessaraPanel&, uint32_t s, int32_t x, int32_t y) { MapPanelMouseMove(s, x, y); };
    MapPanel->OnMouseUp = [this](TTessaraPanel&, TMouseButton b, uint32_t s, int32_t x, int32_t y) {
        MapPanelMouseUp(b, s, x, y);
    };
}

void TMainForm::BuildToolButtons()
{
    auto* grid = new QGridLayout(Panel7);
    grid->setContentsMargins(4, 4, 4, 4);
    grid->setSpacing(2);
    auto button = [this, grid](const char* name, const QString& text, int row, int col) {
        auto* b = Named(new QToolButton(Panel7), name);
        b->setText(text);
        b->setFixedSize(30, 28);
        b->setEnabled(false);  // enabled by the part that handles it
        grid->addWidget(b, row, col);
        return b;
    };
    auto icon = [](QToolButton* b, const char* cursor) {
        b->setIcon(QIcon(QPixmap::fromImage(LoadCursorResource(cursor).Image)));
        b->setText(QString());
    };
    SpeedButton5 = button("SpeedButton5", QString::fromUtf8("↖"), 0, 0);
    UpBtn = button("UpBtn", QString::fromUtf8("↑"), 0, 1);
    SpeedButton6 = button("SpeedButton6", QString::fromUtf8("↗"), 0, 2);
    SpeedButton3 = button("SpeedButton3", QString::fromUtf8("←"), 1, 0);
    SpeedButton10 = button("SpeedButton10", QString::fromUtf8("▣"), 1, 1);
    SpeedButton4 = button("SpeedButton4", QString::fromUtf8("→"), 1, 2);
    SpeedButton7 = button("SpeedButton7", QString::fromUtf8("↙"), 2, 0);
    SpeedButton2 = button("SpeedButton2", QString::fromUtf8("↓"), 2, 1);
    SpeedButton8 = button("SpeedButton8", QString::fromUtf8("↘"), 2, 2);
    ZoomInBtn = button("ZoomInBtn", QStringLiteral("+"), 0, 3);
    ZoomOutBtn = button("ZoomOutBtn", QString::fromUtf8("−"), 1, 3);
    LupaBtn = button("LupaBtn", QString(), 0, 4);
    MoveBtn = button("MoveBtn", QString(), 1, 4);
    WayBtn = button("WayBtn", QString(), 2, 4);
    UserSignBtn = button("UserSignBtn", QString::fromUtf8("✚"), 2, 3);
    SpeedButton1 = button("SpeedButton1", QString::fromUtf8("⚙"), 0, 5);
    SpeedButton9 = button("SpeedButton9", QString::fromUtf8("☰"), 1, 5);
    UpdateBtn = button("UpdateBtn", QString::fromUtf8("⟳"), 2, 5);
    icon(LupaBtn, "ZOOM");
    icon(MoveBtn, "HAND");
    icon(WayBtn, "PEN");

    // The magnifier and pan buttons stay down while their mode lasts; a
    // second click lets them up.
    for (QToolButton* b : {LupaBtn, MoveBtn, WayBtn}) b->setCheckable(true);
    for (QToolButton* b : {LupaBtn, MoveBtn, SpeedButton10}) b->setEnabled(true);
    connect(LupaBtn, &QToolButton::clicked, this, [this] { ModeButtonClick(LupaBtn, ModeMagnifier); });
    connect(MoveBtn, &QToolButton::clicked, this, [this] { ModeButtonClick(MoveBtn, ModePan); });
    connect(SpeedButton10, &QToolButton::clicked, this, [this] {
        if (ModelPtr) ModelPtr->ZoomAll(*ViewPtr);
    });
}

// ---------------------------------------------------------------- modes and cursors

int32_t TMainForm::CursorOfMode(int32_t mode)
{
    switch (mode) {
    case ModeAddSign:
    case ModeMeasure: return CursorIdPen;
    case ModeDeleteSign:
    case ModeMoveSign:
    case ModeHover: return CursorHandPoint;
    case ModePan: return CursorIdHand;
    case ModeMagnifier: return CursorIdZoom;
    default: return CursorDefault;
    }
}

void TMainForm::SetMapMode(int32_t mode)
{
    if (ViewPtr) ViewPtr->ViewMode = mode;
    MapPanel->SetMapCursor(CursorOfMode(mode));
}

void TMainForm::ModeButtonClick(QToolButton* button, int32_t mode)
{
    if (!ModelPtr) return;
    ModelPtr->GetViewState(*ViewPtr);
    // Only one of the mode buttons is down at a time.
    for (QToolButton* other : {LupaBtn, MoveBtn, WayBtn})
        if (other != button) other->setChecked(false);
    SetMapMode(button->isChecked() ? mode : ModeNormal);
}

// ---------------------------------------------------------------- map panel events

void TMainForm::MapPanelPaint()
{
    if (!ModelPtr) return;
    ModelPtr->GetViewState(*ViewPtr);
    ModelPtr->PaintView(*ViewPtr);
    // What the user saw was drawn at the panel's real size.
    if (StartIsPending && MapPanel->isVisible()) StartIsPending = false;
}

void TMainForm::MapPanelResize()
{
    if (!ModelPtr) return;
    ModelPtr->GetViewState(*ViewPtr);
    ViewPtr->ClientRect = MapPanel->ClientRect();
    ModelPtr->SetViewState(*ViewPtr);
    // Until the map was first painted, a resize is the panel taking its
    // real size: fit the start rectangle to it rather than keep the scale
    // fitted to the size it had unshown.
    if (StartIsPending) ApplyStartRect();
}

void TMainForm::ClearMapSelection()
{
    TKeyList keys;
    ModelPtr->HighlightObjects(ViewPtr.get(), 0, keys);
    if (!keys.empty()) ModelPtr->HighlightObjects(ViewPtr.get(), 2, keys);
}

void TMainForm::MapPanelMouseDown(TMouseButton button, uint32_t shift, int32_t x, int32_t y)
{
    if (!ModelPtr) return;
    ClearMapSelection();
    // Handing the keyboard to the map comes with the keyboard modes.
    if (ViewPtr->ViewMode == ModePan && button == TMouseButton::Right) return;
    MouseDownOnMap = true;
    ModelPtr->GetViewState(*ViewPtr);
    if (button == TMouseButton::Right) ModelPtr->RightMouseDown(*ViewPtr, shift, x, y);
    else if (button == TMouseButton::Left) ModelPtr->LeftMouseDown(*ViewPtr, shift, x, y);
    // The object numbers under a Shift-click come with the status panels.
}

void TMainForm::MapPanelMouseMove(uint32_t shift, int32_t x, int32_t y)
{
    if (!ModelPtr) return;
    int32_t mode = ViewPtr->ViewMode;
    if (LupaBtn->isChecked()) mode = ModeMagnifier;
    if (MoveBtn->isChecked()) mode = ModePan;
    if (WayBtn->isChecked()) mode = ModeMeasure;
    SetMapMode(mode);
    if (mode == ModePan && (shift & ShiftRight)) return;
    ModelPtr->MouseMove(*ViewPtr, shift, x, y);
}

void TMainForm::MapPanelMouseUp(TMouseButton button, uint32_t shift, int32_t x, int32_t y)
{
    if (!ModelPtr) return;
    ModelPtr->GetViewState(*ViewPtr);
    if (ViewPtr->ViewMode == ModePan && button == TMouseButton::Right) return;
    if (!MouseDownOnMap) return;
    if (button == TMouseButton::Right) ModelPtr->RightMouseUp(*ViewPtr, shift, x, y);
    else if (button == TMouseButton::Left) ModelPtr->LeftMouseUp(*ViewPtr, shift, x, y);
    MouseDownOnMap = false;
}

} // namespace tarn
