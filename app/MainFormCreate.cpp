// The main window's life: creation (all loading), show and destroy.
#include "MainForm.h"

#include "app/Cursors.h"
#include "app/Gauge_f.h"
#include "model/ViewWork.h"

#include <QLabel>
#include <QLayout>
#include <QShowEvent>
#include <QTabWidget>
#include <QTimer>

#include <filesystem>

namespace tarn {

const char* const RequiredFiles[5] = {"tarn.prj", "nav.prj", "tarn.map", "tarn.dat", "tarn.dll"};

std::string MissingFileMessage(const std::string& programDir, const std::string& name)
{
    return "Не могу найти файл: " + programDir + name;
}

namespace {

constexpr const char* StartSection = "START POSITION";
constexpr const char* FormSection = "TMainForm";

// The model's questions and busy cursor go to the application's services.
class TAppModelUI : public TModelUI {
public:
    explicit TAppModelUI(TAppServices& services) : Services(services) {}
    bool Confirm(const std::string& message) override { return Services.Confirm(message); }
    void SetBusy(bool busy) override { Services.SetBusy(busy); }
    void ShowError(const std::string& message) override { Services.ShowError(message); }

private:
    TAppServices& Services;
};

// A stored start rectangle worth showing: left of right, top above bottom,
// its centre on the project, and no larger than twice the project (no view
// of it ever shows more than one and a half times the whole).
bool UsableStartRect(const TRect& r, const TRect& project)
{
    if (r.Left >= r.Right || r.Top <= r.Bottom) return false;
    const int64_t width = int64_t(r.Right) - r.Left, height = int64_t(r.Top) - r.Bottom;
    const int64_t cx = (int64_t(r.Left) + r.Right) / 2, cy = (int64_t(r.Top) + r.Bottom) / 2;
    return cx >= project.Left && cx <= project.Right && cy >= project.Bottom && cy <= project.Top &&
           width <= 2 * (int64_t(project.Right) - project.Left) && height <= 2 * (int64_t(project.Top) - project.Bottom);
}

// Lays out a window that is being shown now, rather than when the event
// loop next runs, so the map panel has its real size.
void SettleLayout(QWidget* w)
{
    if (QLayout* l = w->layout()) l->activate();
    for (QObject* child : w->children())
        if (auto* c = qobject_cast<QWidget*>(child); c && !c->isWindow() && c->isVisible()) SettleLayout(c);
}

} // namespace

void TMainForm::SetGaugeValue(int32_t value)
{
    if (Gauge) Gauge->SetProgress(value);
    Services.Progress(value);
}

template <class F>
void TMainForm::OptionalPart(F&& part)
{
    try {
        part();
    } catch (const std::exception& e) {
        Services.ShowError(e.what());
    }
}

void TMainForm::ApplyRasterOption()
{
    if (!ModelPtr) return;
    ModelPtr->DoubleBuffer = IniFile->ReadInteger("OPTIONS", "RASTRDRAW", 1) == 1 ? 1 : 0;
}

void TMainForm::LoadObjectDatabase()
{
    // The object database ("tarn.dat" and its supplements) is read here
    // into the object list and the action registry, moving the gauge from
    // 50 towards 100.
}

void TMainForm::LoadBanners()
{
    // The banner file "banners.dat" is opened and its records listed here.
}

void TMainForm::FormCreate()
{
    GlobalPanel->hide();
    SecretPanel1->hide();
    // Hints reach the status bar through the widgets' status tips.

    // The group table and the banner list of the object database and the
    // banners are made here, and the banner viewer inside Panel1.
    BannerIndex = 1;

    PageControl1->setCurrentWidget(TabSheet1);
    MapPanel->hide();

    IniFile = TIniFile::Open(ProgramDirName + "tarn.ini");
    TickerIndex = IniFile->ReadInteger(FormSection, "Current_Pos", 0);
    BannerIndex = IniFile->ReadInteger(FormSection, "Current_PosImage", 1);

    for (const char* name : RequiredFiles)
        if (!std::filesystem::exists(std::filesystem::path(ProgramDirName + name)))
            throw ETarnError(MissingFileMessage(ProgramDirName, name));

    RegisterProgramCursors();

    // Without a model and its project the window cannot run: any failure
    // up to here leaves no model, and the show step then closes the window.
    try {
        ViewPtr = std::make_unique<TView>(&MapPanel->Surface());
        ViewPtr->ClientRect = MapPanel->ClientRect();
        ModelPtr = std::make_unique<TModel>();
        ModelPtr->SetUI(std::make_shared<TAppModelUI>(Services));
        SetGaugeValue(10);

        ModelPtr->AttachView(*ViewPtr);
        ModelPtr->OpenFile(ProgramDirName + "tarn.prj");
        ApplyRasterOption();
        ModelPtr->ZoomAll(*ViewPtr);
        ModelPtr->LoadProjectDll(ProgramDirName + "tarn.dll");

        // The navigator is made here on "nav.prj", inside IvPanel, with a
        // model and view of its own.

        ViewPtr->ViewMode = ModeNormal;
        ModelPtr->PixelTolerance = 20;
        SetGaugeValue(30);
    } catch (...) {
        ViewPtr.reset();
        ModelPtr.reset();
        throw;
    }

    // The street-type words ("УЛ.", "ПР.", "ПЕР.", "ПЛ.", "ТУПИК",
    // "ПРОСПЕКТ", "ПЛОЩАДЬ") and the street-name normaliser are set up here.

    ModelPtr->GetViewState(*ViewPtr);

    // The street list is made here and filled from the layer "Названия улиц".
    SetGaugeValue(35);
    // Its sub-list "Улицы ВЕРБИНСКА" is filled here from the layer "Вербинск".
    SetGaugeValue(40);
    // The districts are added here from the layer "Наименование районов".
    SetGaugeValue(45);
    // The object list is made here.
    ObjectCount = 0;
    SetGaugeValue(48);
    // The object actions and the map hover are made here.

    // The object list's update is open while the database loads.
    OptionalPart([this] { LoadObjectDatabase(); });
    OptionalPart([this] { LoadBanners(); });

    MapPanel->SetMapCursor(CursorDefault);

    // The arrow and zoom buttons and their keys are bound here, then the
    // user-sign tool (layer 307, new signs on sheet 23), and the keyboard
    // is handed to the map.

    ObjPanel->setText(QString::fromUtf8("  Кол-во объектов: ") + QString::number(ObjectCount));
    SetGaugeValue(100);

    // The navigator's show or hide state is applied here, then distance
    // measuring is made with WayPanel for its result.

    OptionalPart([this] { RegisterViewWork(*ModelPtr, CreateViewWork(this, *ModelPtr, 0, 0)); });

    // The ticker lines are taken here from the object (1, 9999, 5, 99)
    // and the banner and ticker timers started.
}

void TMainForm::showEvent(QShowEvent* e)
{
    QWidget::showEvent(e);
    if (!e->spontaneous()) FormShow();
}

void TMainForm::FormShow()
{
    if (!ModelPtr) {
        // Closing inside the show itself would leave the window half shown.
        QTimer::singleShot(0, this, &QWidget::close);
        return;
    }
    // The panels are shown together so the map panel takes its real size
    // before the start rectangle is fitted to it.
    MapPanel->show();
    GlobalPanel->show();
    SettleLayout(this);
    MapPanelResize();

    ModelPtr->GetViewState(*ViewPtr);
    StartRect.reset();
    const bool stored = IniFile->ValueExists(StartSection, "LEFT") || IniFile->ValueExists(StartSection, "TOP") ||
                        IniFile->ValueExists(StartSection, "RIGHT") ||
                        IniFile->ValueExists(StartSection, "BOTTOM");
    if (stored) {
        const TRect now = ViewPtr->WorldRect;
        TRect r;
        r.Left = IniFile->ReadInteger(StartSection, "LEFT", now.Left);
        r.Top = IniFile->ReadInteger(StartSection, "TOP", now.Top);
        r.Right = IniFile->ReadInteger(StartSection, "RIGHT", now.Right);
        r.Bottom = IniFile->ReadInteger(StartSection, "BOTTOM", now.Bottom);
        if (UsableStartRect(r, ModelPtr->ProjectRect())) StartRect = r;
    }
    StartIsPending = true;
    ApplyStartRect();

    // The first banner is shown here.
}

void TMainForm::ApplyStartRect()
{
    // The whole map first: it also sets how far out the view may go, which
    // the fit to the unshown panel's placeholder size got wrong.
    ModelPtr->ZoomAll(*ViewPtr);
    // A stored rectangle the view cannot take leaves the whole map.
    if (StartRect) ModelPtr->SetViewRect(*ViewPtr, *StartRect);
}

void TMainForm::FormDestroy()
{
    Destroyed = true;
    if (!ModelPtr || !IniFile) return;
    ModelPtr->GetViewState(*ViewPtr);
    const TRect r = ViewPtr->WorldRect;
    if (r.Left < r.Right && r.Top > r.Bottom) {
        IniFile->WriteInteger(StartSection, "LEFT", r.Left);
        IniFile->WriteInteger(StartSection, "TOP", r.Top);
        IniFile->WriteInteger(StartSection, "RIGHT", r.Right);
        IniFile->WriteInteger(StartSection, "BOTTOM", r.Bottom);
    }
    IniFile->WriteInteger(FormSection, "Current_Pos", TickerIndex);
    IniFile->WriteInteger(FormSection, "Current_PosImage", BannerIndex);
}

} // namespace tarn
