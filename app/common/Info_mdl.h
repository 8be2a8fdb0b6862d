#pragma once
// What every window of the application shares: the program's folder and
// file name (given by the program block, so tests point them at a copy of
// a city), the settings file "tarn.ini", the window-position file, the
// placement of the small windows in it, the holders of the card, text and
// group windows, and showing an object on the main map. The windows are
// only named here: each is made, and its holder filled, beside it.
#include "app/common/AppServices.h"
#include "app/common/Owned.h"
#include "model/ObjKey.h"
#include "platform/Ini.h"

#include <QPointer>
#include <QRect>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class QWidget;

namespace tarn {

class TCustomInfoForm;
class TInfoForm;
class TModel;
class TView;
struct TProgramWindows;

// The window-position file of a program file: its name cut at the first
// "." with ".ini" added ("a.b.exe" gives "a.ini", "tarn" gives "tarn.ini").
std::string PositionFileName(const std::string& programFile);

// Sections of the position file.
inline constexpr const char* GroupFormSection = "GROUPFORM";
inline constexpr const char* InfoFormSection = "INFOFORM";
inline constexpr const char* CustomFormSection = "CUSTOMFORM";

// A window's place: left, top, width and height of the whole window, its
// frame included, in screen pixels (of its normal size when maximised or
// minimised), so a stored place means the same under every window
// manager; and its state: 0 normal, 1 minimised, 2 maximised.
struct TWindowPlacement {
    int32_t Left = 0;
    int32_t Top = 0;
    int32_t Width = 0;
    int32_t Height = 0;
    int32_t WindowState = 0;
    bool operator==(const TWindowPlacement&) const = default;
};
TWindowPlacement PlacementOf(const QWidget& window);
// A size below one pixel keeps the window's own; a place whose title bar
// would be out of reach is moved onto the nearest screen.
void ApplyPlacement(QWidget& window, const TWindowPlacement& placement);
// The rectangle (a whole window) as it is, when its title bar lies on a
// screen; else moved (and shrunk, if need be) onto the nearest screen.
QRect OntoScreen(const QRect& frame);
// The five keys "LEFT", "TOP", "WIDTH", "HEIGHT", "WINDOWSTATE" of the
// section; a missing key gives the current value.
TWindowPlacement ReadPlacement(TIniFile& ini, const std::string& section, const TWindowPlacement& current);
void WritePlacement(TIniFile& ini, const std::string& section, const TWindowPlacement& placement);
// The window put where the section says, and its place written there.
// Without a stored place the window opens centred over the main window
// (its form "MainForm"), or the screen; a window that would open exactly
// over another of the program's open windows is moved down and right
// from it, like a cascade.
void RestoreWindowPlacement(QWidget& window, TIniFile& ini, const std::string& section);
void SaveWindowPlacement(const QWidget& window, TIniFile& ini, const std::string& section);

// Shows the object alone highlighted in the middle of the view at 1:2500:
// zooms to it, keeps the centre at 1:2500, clears the highlight, highlights
// it and draws it at once. An object the view cannot find (its sheet not
// loaded at the current level of detail included) leaves the view and the
// highlight as they were and answers false.
bool ShowObjectOnMap(TModel& model, TView& view, const TObjectKey& key);

// The main window as the other windows use it: its map and the map's
// object actions.
class TMainMap {
public:
    virtual TModel* Model() const = 0;
    virtual TView* View() const = 0;
    // No object highlighted, no hint left over the map.
    virtual void ClearMapSelection() = 0;
    // What a click on the object on the map does (its card, text or name).
    virtual void ExecuteObjectAction(const TObjectKey& key) = 0;

protected:
    ~TMainMap() = default;
};

class TInfoModule {
public:
    // programDir ends in a separator; programFile is the program's file
    // name without its folder ("tarn").
    TInfoModule(std::string programDir, std::string programFile, TAppServices& services);
    ~TInfoModule();
    TInfoModule(const TInfoModule&) = delete;
    TInfoModule& operator=(const TInfoModule&) = delete;

    const std::string& ProgramDir() const { return Dir; }
    const std::string& ProgramFile() const { return File; }
    TAppServices& Services;
    // "tarn.ini" in the program's folder: the settings and the placement
    // of the main, information, legend and update windows.
    const std::shared_ptr<TIniFile> IniFile;
    // The window-position file of the group, text and card windows (the
    // same file as IniFile for the program "tarn").
    const std::shared_ptr<TIniFile> PositionFile;

    // Set by the main window and the program block while they live.
    TMainMap* MainForm = nullptr;
    TProgramWindows* Windows = nullptr;

    // The one card window; the text window, made once and reused; the
    // group windows (TGroupForm) open now, each freeing itself when closed.
    TOwned<TCustomInfoForm> CardForm;
    TOwned<TInfoForm> TextForm;
    std::vector<QPointer<QWidget>> GroupForms;

    // ShowObjectOnMap on the main window's map; false without one.
    bool ShowObjectOnMap(const TObjectKey& key);
    // Frees the card, text and group windows (the main window's teardown).
    void CloseWindows();

private:
    std::string Dir;
    std::string File;
};

} // namespace tarn
