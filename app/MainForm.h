#pragma once
// The main window: the map panel on the left, the banner, navigator, search
// tabs and tool buttons on the right. Its creation step does all loading in
// a fixed order while the loading window's gauge moves; the show step puts
// back the last visible map rectangle, the destroy step writes it.
#include "app/AppServices.h"
#include "app/TSPanel.h"
#include "model/Models.h"
#include "platform/Ini.h"

#include <QWidget>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSplitter;
class QStatusBar;
class QTabWidget;
class QTimer;
class QToolButton;

namespace tarn {

class TGaugeForm;

// The files start-up requires in the program's folder, in the order tested.
extern const char* const RequiredFiles[5];
// "Не могу найти файл: " + folder + name.
std::string MissingFileMessage(const std::string& programDir, const std::string& name);

class TMainForm : public QWidget {
public:
    // programDir ends in a separator. The gauge (may be null) is moved by
    // the creation step; the services outlive the window.
    TMainForm(std::string programDir, TAppServices& services, TGaugeForm* gauge = nullptr);
    ~TMainForm() override;
    TMainForm(const TMainForm&) = delete;
    TMainForm& operator=(const TMainForm&) = delete;

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
    TModel* Model() const { return ModelPtr.get(); }
    TView* View() const { return ViewPtr.get(); }
    const std::string& ProgramDir() const { return ProgramDirName; }
    // The start rectangle is applied again on resizes until the map was
    // first painted at its real size.
    bool StartPending() const { return StartIsPending; }

    // Reads [OPTIONS] "RASTRDRAW" (default 1): the map is drawn through an
    // off-screen picture when it is 1.
    void ApplyRasterOption();
    // The view's mode and the map panel's cursor for it.
    void SetMapMode(int32_t mode);
    static int32_t CursorOfMode(int32_t mode);

    // Layout (names as the stored settings and the other windows know them).
    QWidget* GlobalPanel;
    QSplitter* Splitter2;
    QWidget* RightPanel;
    QWidget* Panel2;
    TTessaraPanel* MapPanel;
    QStatusBar* StatusBar1;
    QLabel* SecretPanel1;
    QWidget* LeftPanel;
    QWidget* PanelPanel;
    QWidget* Panel1;
    QSplitter* Splitter1;
    QWidget* NavPanel;
    QWidget* IvPanel;
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
    QLabel* InetPanel;
    QTimer* Timer1;
    QTimer* Timer2;

protected:
    // The parts whose loaders come with their own windows; a failure in
    // one is reported and leaves the window without that part.
    virtual void LoadObjectDatabase();
    virtual void LoadBanners();

    void showEvent(QShowEvent* e) override;

    // Sets the loading gauge and tells the services.
    void SetGaugeValue(int32_t value);

private:
    void BuildLayout();
    void BuildToolButtons();
    // Runs a part of the creation step that the window can do without.
    template <class F>
    void OptionalPart(F&& part);

    // Map panel events.
    void MapPanelPaint();
    void MapPanelResize();
    void MapPanelMouseDown(TMouseButton button, uint32_t shift, int32_t x, int32_t y);
    void MapPanelMouseMove(uint32_t shift, int32_t x, int32_t y);
    void MapPanelMouseUp(TMouseButton button, uint32_t shift, int32_t x, int32_t y);
    void ModeButtonClick(QToolButton* button, int32_t mode);
    void ClearMapSelection();
    void ApplyStartRect();

    std::string ProgramDirName;
    TAppServices& Services;
    TGaugeForm* Gauge;

    // Private state, in the order the window's steps use it.
    bool MouseDownOnMap = false;
    std::shared_ptr<TIniFile> IniFile;
    int32_t BannerIndex = 1;
    int32_t ObjectCount = 0;
    int32_t TickerIndex = 0;
    std::unique_ptr<TModel> ModelPtr;
    std::unique_ptr<TView> ViewPtr;

    // The start rectangle of the show step (none: the whole map).
    std::optional<TRect> StartRect;
    bool StartIsPending = false;
    bool Destroyed = false;
};

} // namespace tarn
