#pragma once
// The main window: the map panel on the left, the banner, navigator, search
// tabs and tool buttons on the right. Its creation step does all loading in
// a fixed order while the loading window's gauge moves; the show step puts
// back the last visible map rectangle, the destroy step writes it.
//
// This header is the table of the window's state and handlers. Behaviour
// lives by concern: MainForm.cpp (layout and wiring), MainFormCreate.cpp
// (creation steps, show, destroy, teardown), MainFormSearch.cpp (search
// lists, object database), MainFormTools.cpp (navigator, buttons and keys,
// measuring, mouse tool), MainFormCommands.cpp (map panel events, keyboard
// mode, tool modes, commands), MainFormSigns.cpp (user signs),
// MainFormBanners.cpp (banners and the ticker).
#include "app/common/AppServices.h"
#include "app/common/ControlHooks.h"
#include "app/common/Info_mdl.h"
#include "app/common/Owned.h"
#include "app/common/TSPanel.h"
#include "db/TarnData.h"
#include "model/Models.h"
#include "platform/FolderLock.h"
#include "platform/Ini.h"

#include <QRect>
#include <QWidget>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QAction;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPushButton;
class QSplitter;
class QStatusBar;
class QTabWidget;
class QTimer;
class QToolButton;

namespace tarn {

class TButtonBox;
class TGaugeForm;
class TInfoModule;
class TNavigator;
class TSearchObject;
class TSearchText;
class TSecretPanel;
class TSubText;
class TUniversalContainer;
class TWayWork;
class TWorkSign;

// The files start-up requires in the program's folder, in the order tested.
extern const char* const RequiredFiles[5];
// "Не могу найти файл: " + folder + name.
std::string MissingFileMessage(const std::string& programDir, const std::string& name);

// The colour a ticker line scrolls in (0x00BBGGRR).
struct TNObj {
    int32_t Colour = 0;
};
// A ticker line; a line that begins with "|" and no digits carries no colour.
struct TTickerLine {
    std::string Text;
    std::optional<TNObj> Object;
};

class TMainForm : public QWidget, public TMainMap {
public:
    // The shared services give the program's folder and files. The gauge
    // (may be null) is moved by the creation step.
    explicit TMainForm(TInfoModule& info, TGaugeForm* gauge = nullptr);
    // Stops the timers, then frees the card, text and group windows, the
    // tools, the navigator, and the model last.
    ~TMainForm() override;
    TMainForm(const TMainForm&) = delete;
    TMainForm& operator=(const TMainForm&) = delete;

    // ---------------------------------------------------------------- life
    // The creation step. Throws what stops start-up (a missing required
    // file, a project that cannot be read), and then holds no model; a part
    // that can be left out reports its failure through the services and
    // the window runs without it.
    void FormCreate();
    // Runs by itself when the window is shown: without a model the window
    // closes; else the map panel shows and the start rectangle is applied.
    void FormShow();
    // Writes the visible rectangle and the banner and ticker positions to
    // "tarn.ini" (nothing without a model); reports a failed write by
    // throwing. The destructor runs it when nobody did, silently.
    void FormDestroy();

    void SetGauge(TGaugeForm* gauge) { Gauge = gauge; }
    TInfoModule& Info() const { return InfoModule; }
    TModel* Model() const override { return ModelPtr.get(); }
    TView* View() const override { return ViewPtr.get(); }
    const std::string& ProgramDir() const { return ProgramDirName; }
    // The start rectangle is applied again on resizes until the map was
    // first painted at its real size.
    bool StartPending() const { return StartIsPending; }

    // Puts the long part of a control's hint into the status bar.
    void ApplicationHint(const QString& hint);
    // Reads [OPTIONS] "RASTRDRAW" (default 1): the map is drawn through an
    // off-screen picture when it is 1.
    void ApplyRasterOption();
    // The view's mode and the map panel's cursor for it.
    void SetMapMode(int32_t mode);
    static int32_t CursorOfMode(int32_t mode);

    // ---------------------------------------------------------------- commands
    void MapPanelPaint();
    void FormResize();
    void MapPanelMouseDown(TMouseButton button, uint32_t shift, int32_t x, int32_t y);
    void MapPanelMouseMove(uint32_t shift, int32_t x, int32_t y);
    void MapPanelMouseUp(TMouseButton button, uint32_t shift, int32_t x, int32_t y);
    void MapPanelClick();
    void StreetListEnter();
    void SetFalseMapFocused();
    // Keys of every control of the window, before the control (key preview).
    void FormKeyDown(TKeyArgs& key);
    void FormKeyUp(TKeyArgs& key);
    // The Tab key before focus chaining; the key set to 0 when taken.
    void AppEvents1ShortCut(TKeyArgs& key);
    void LupaBtnClick();
    void MoveBtnClick();
    void WayBtnClick();
    void SpeedButton1Click();   // options
    void SpeedButton9Click();   // legend
    void UpdateBtnClick();
    void SpeedButton10Click();  // panorama: the whole map
    void ZoomInBtnClick();
    void ZoomOutBtnClick();
    // The information tab: a picture or label runs the action of its tag.
    void Image1Click(QObject* sender);
    // The action of the fixed object (1, 67, 24, code), with the busy cursor.
    void RunObjectAction(int32_t code);
    void Label5Click();
    void Label6Click();
    void GifAnimator1Click();
    // From the menu it toggles; without a sender (creation) it applies the
    // stored state.
    void miNavClick(bool fromMenu);
    void Splitter1Moved();
    void Splitter2Moved();
    bool Splitter1CanResize(int32_t newSize);
    bool Splitter2CanResize(int32_t newSize);
    void Panel2Resize();
    void PageControl1Change();
    void StreetListMouseMove(QListWidget* sender, uint32_t shift, int32_t x, int32_t y);
    void StreetEKeyPress(QChar& key);
    void FormClose();
    void SetMapFocused(bool value);
    void ClearMapSelection() override;
    void ExecuteObjectAction(const TObjectKey& key) override;
    void ToggleFullScreen(bool toFull);
    // The window's place, its panels' sizes and the navigator's state in
    // "tarn.ini" (section "MainForm"), with the places of the program's
    // windows still open.
    void RestoreFormStorage();
    void SaveFormStorage();
    // Every text layer's labels in the font, the project saved without
    // its sheets, then FONTNAME written; throws what the save throws.
    void ApplyLabelFont(const std::string& fontName);
    // The face name of the first text layer that names one (code page 1251).
    std::string CurrentLabelFont() const;

    // ---------------------------------------------------------------- user signs
    // The sign menu: add, delete, move.
    void N1Click();
    void N_2Click();
    void N2Click();
    // The sign tool's events: 0 goes on, non-zero cancels.
    int32_t SignBeforeAdd(const TObjectKey& key, const TPoint& p, bool save);
    void SignAfterAdd(const TObjectKey& key, const TPoint& p, bool save);
    int32_t SignBeforeDelete(const TObjectKey& key, bool confirm, bool save);
    void SignAfterDelete(const TObjectKey& key, bool confirm, bool save);
    void SignAfterMove(const TObjectKey& key, const TPoint& p, bool save);

    // ---------------------------------------------------------------- banners and ticker
    void Timer1Timer();
    void BannerClick();
    void PrepareTickerLines();
    void Timer2Timer();
    void SecretPanel1StopPlay();

    // ---------------------------------------------------------------- layout
    // Names as the stored settings and the other windows know them.
    QWidget* GlobalPanel;
    QSplitter* Splitter2;
    QWidget* RightPanel;
    QWidget* Panel2;
    TTessaraPanel* MapPanel;
    QStatusBar* StatusBar1;
    QLabel* NumPanel;  // the layer and code under a Shift-click
    TSecretPanel* SecretPanel1;
    QWidget* LeftPanel;
    QWidget* PanelPanel;
    QWidget* Panel1;  // the banner
    QSplitter* Splitter1;
    QWidget* NavPanel;
    QWidget* IvPanel;  // the navigator
    QTabWidget* PageControl1;
    QWidget* TabSheet1;
    QWidget* TabSheet3;
    QWidget* TabSheet2;
    QLineEdit* StreetE;
    QListWidget* StreetList;
    QPushButton* ShowStreetBtn;
    QLineEdit* ObjE;
    QListWidget* ObjList;
    QPushButton* ObjBtn;
    QLabel* ObjPanel;
    // The information tab: credits (pictures and labels with the codes of
    // their actions as tags) and two fixed objects.
    QLabel* Image1;
    QLabel* Label1;
    QLabel* Image2;
    QLabel* Label3;
    QLabel* Image5;
    QLabel* Label7;
    QLabel* Label5;
    QLabel* Label6;
    QLabel* WayPanel;
    QWidget* Panel7;
    QToolButton* SpeedButton3;  // left
    QToolButton* SpeedButton4;  // right
    QToolButton* UpBtn;
    QToolButton* SpeedButton2;  // down
    QToolButton* SpeedButton5;  // up-left
    QToolButton* SpeedButton7;  // down-left
    QToolButton* SpeedButton6;  // up-right
    QToolButton* SpeedButton8;  // down-right
    QToolButton* ZoomInBtn;
    QToolButton* ZoomOutBtn;
    QToolButton* LupaBtn;
    QToolButton* MoveBtn;
    QToolButton* WayBtn;
    QToolButton* UserSignBtn;
    QToolButton* SpeedButton1;  // options
    QToolButton* SpeedButton9;  // legend
    QToolButton* UpdateBtn;
    QToolButton* SpeedButton10; // panorama
    QWidget* InetPanel;         // the web site
    QLabel* GifAnimator1;       // its animation
    QLabel* InetLabel;
    QMenu* PopupMenu1;
    QAction* miNav;
    QMenu* PopupMenu2;  // the sign menu of UserSignBtn
    QAction* N1;
    QAction* N_2;
    QAction* N2;
    QAction* N3;
    QTimer* Timer1;  // banners, 60 s
    QTimer* Timer2;  // ticker, 90 s

    // ---------------------------------------------------------------- state
    // This copy of the program alone changes the folder's files while it
    // holds the lock; taken at start-up, let go after the model.
    std::unique_ptr<TFolderLock> FolderLock;
    // The model and view first, so they go last.
    std::unique_ptr<TModel> ModelPtr;
    std::unique_ptr<TView> ViewPtr;
    TOwned<TSearchText> StreetSearch;
    TOwned<TSubText> SubText;
    TOwned<TSearchText> ObjectSearch;
    // The banner list: "banners.dat" open for the program's life, and its
    // banner records in file order.
    TBannerList BannerList;
    TOwned<TUniversalContainer> BannerViewer;
    TOwned<TWayWork> WayWork;
    TOwned<TWorkSign> WorkSign;
    bool MouseDownOnMap = false;
    bool MapFocused = true;  // keys act on the map, not the search lists
    TOwned<TButtonBox> ButtonBox;
    std::shared_ptr<TIniFile> IniFile;
    int32_t BannerIndex = 1;  // the banner shown, from 1
    int32_t ObjectCount = 0;
    QRect SavedBounds;  // the window before full screen
    QRect SavedFrame;   // and its whole rectangle (full screen has no frame)
    std::vector<int> SavedPanelSizes;  // the map's and the tools' widths before full screen
    std::vector<TTickerLine> TickerLines;
    int32_t TickerIndex = 0;  // the next ticker line
    TGroupTable GroupTable;  // of the data file read last
    TOwned<TSearchObject> SearchObject;
    // The navigator lives in IvPanel; it is freed before the model it follows.
    TOwned<TNavigator> Navigator;

protected:
    // The creation steps, in the order they run, each in the file of its
    // concern. The database, banner and navigator steps are parts the
    // window can do without.
    void OpenMainModel();
    virtual void CreateNavigator();
    void CreateSubText();
    void CreateStreetSearch();
    void FillSecondTownStreets();
    void FillDistricts();
    void CreateObjectSearch();
    void CreateSearchObject();
    // The object list's update is open while the database loads.
    void LoadObjectList();
    virtual void LoadObjectDatabase();
    // Puts one record of the object database into the object lists and the
    // object actions; answers how many items count in ObjectCount.
    int32_t PlaceObjectRecord(const TLoadedRecord& record);
    void CreateBannerViewer();
    virtual void LoadBanners();
    void CreateButtonBox();
    void CreateWorkSign();
    void CreateWayWork();
    void CreateMouseTool();
    // The ticker lines from the ticker object's text.
    void PrepareTicker();

    bool event(QEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

    // Sets the loading gauge and tells the services.
    void SetGaugeValue(int32_t value);

private:
    void BuildLayout();
    void BuildInformationTab();
    void BuildToolButtons();
    void BuildMenus();
    void WireEvents();
    // Runs a part of the creation step that the window can do without.
    template <class F>
    void OptionalPart(F&& part);
    void ApplyStartRect();
    // Lets up the mode buttons but one (WayPanel goes with WayBtn).
    void ReleaseModeButtons(QToolButton* except);

    TInfoModule& InfoModule;
    TAppServices& Services;
    TGaugeForm* Gauge;
    std::string ProgramDirName;  // ProgramDir, with its trailing separator
    std::vector<THookToken> Hooks;  // the window's own handlers on its controls

    // The start rectangle of the show step (none: the whole map).
    std::optional<TRect> StartRect;
    bool StartIsPending = false;
    bool Destroyed = false;
};

} // namespace tarn
