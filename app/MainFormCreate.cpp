// The main window's life: creation (all loading, as a list of steps), show,
// destroy and teardown.
#include "MainForm.h"

#include "app/Gauge_f.h"
#include "app/SecretPanel.h"
#include "app/common/Cursors.h"
#include "app/common/Info_mdl.h"

#include <QCloseEvent>
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

void TMainForm::FormCreate()
{
    GlobalPanel->hide();
    SecretPanel1->hide();
    // Hints reach the status bar through ApplicationHint (event()).
    BannerIndex = 1;
    CreateBannerViewer();

    PageControl1->setCurrentWidget(TabSheet1);
    MapPanel->hide();

    IniFile = InfoModule.IniFile;
    TickerIndex = IniFile->ReadInteger(FormSection, "Current_Pos", 0);
    BannerIndex = IniFile->ReadInteger(FormSection, "Current_PosImage", 1);
    RestoreFormStorage();

    for (const char* name : RequiredFiles)
        if (!std::filesystem::exists(std::filesystem::path(ProgramDirName + name)))
            throw ETarnError(MissingFileMessage(ProgramDirName, name));

    RegisterProgramCursors();
    OpenMainModel();
    // Outside the model's step: a navigator that cannot be made leaves the
    // window without it, not without its map.
    OptionalPart([this] { CreateNavigator(); });
    ViewPtr->ViewMode = ModeNormal;
    ModelPtr->PixelTolerance = 20;
    SetGaugeValue(30);

    CreateSubText();
    ModelPtr->GetViewState(*ViewPtr);
    CreateStreetSearch();
    SetGaugeValue(35);
    FillSecondTownStreets();
    SetGaugeValue(40);
    FillDistricts();
    SetGaugeValue(45);
    CreateObjectSearch();
    ObjectCount = 0;
    SetGaugeValue(48);
    CreateSearchObject();
    OptionalPart([this] { LoadObjectList(); });
    OptionalPart([this] { LoadBanners(); });

    MapPanel->SetMapCursor(CursorDefault);
    CreateButtonBox();
    CreateWorkSign();
    SetMapFocused(true);
    ObjPanel->setText(QString::fromUtf8("  Кол-во объектов: ") + QString::number(ObjectCount));
    SetGaugeValue(100);

    miNavClick(false);
    CreateWayWork();
    OptionalPart([this] { CreateMouseTool(); });
    PrepareTicker();
    Timer1->start();
    Timer2->start();
}

void TMainForm::OpenMainModel()
{
    // Without a model and its project the window cannot run: any failure
    // here leaves no model, and the show step then closes the window.
    try {
        // A second copy on the folder runs, but changes none of its files.
        if (!FolderLock) FolderLock = std::make_unique<TFolderLock>(ProgramDirName);
        ViewPtr = std::make_unique<TView>(&MapPanel->Surface());
        ViewPtr->ClientRect = MapPanel->ClientRect();
        ModelPtr = std::make_unique<TModel>();
        ModelPtr->ReadOnlyReason = FolderLock->Reason();
        ModelPtr->SetUI(std::make_shared<TAppModelUI>(Services));
        SetGaugeValue(10);

        ModelPtr->AttachView(*ViewPtr);
        ModelPtr->OpenFile(ProgramDirName + "tarn.prj");
        ApplyRasterOption();
        ModelPtr->ZoomAll(*ViewPtr);
        ModelPtr->LoadProjectDll(ProgramDirName + "tarn.dll");
    } catch (...) {
        ViewPtr.reset();
        ModelPtr.reset();
        throw;
    }
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
    FormResize();

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

    // The first banner at once.
    Timer1Timer();
}

void TMainForm::ApplyStartRect()
{
    // The whole map first: it also sets how far out the view may go, which
    // the fit to the unshown panel's placeholder size got wrong.
    ModelPtr->ZoomAll(*ViewPtr);
    // A stored rectangle the view cannot take leaves the whole map.
    if (StartRect) ModelPtr->SetViewRect(*ViewPtr, *StartRect);
}

void TMainForm::closeEvent(QCloseEvent* e)
{
    FormClose();
    e->accept();
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
    SaveFormStorage();
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
    // Qt would free the child windows and widgets only after the members;
    // everything that holds the model or a control goes here, in order.
    Timer1->stop();
    Timer2->stop();
    SecretPanel1->Stop();
    InfoModule.CloseWindows();
    ButtonBox.reset();
    WorkSign.reset();
    WayWork.reset();
    SearchObject.reset();
    ObjectSearch.reset();
    StreetSearch.reset();
    SubText.reset();
    BannerViewer.reset();
    BannerList = {};
    GroupTable.clear();
    Navigator.reset();
    Hooks.clear();
    ModelPtr.reset();
    ViewPtr.reset();
    if (InfoModule.MainForm == this) InfoModule.MainForm = nullptr;
}

} // namespace tarn
