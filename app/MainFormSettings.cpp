// The window's settings and layout: its place and panel sizes kept in
// "tarn.ini", full screen, the splitters, the navigator toggle and the
// options dialog (raster drawing, the labels' font).
#include "MainForm.h"

#include "app/Program.h"
#include "app/common/FormPlacement.h"
#include "app/common/Info_mdl.h"
#include "app/windows/Inf_f.h"
#include "app/windows/Legend_f.h"
#include "app/windows/Opt_f.h"
#include "app/windows/Update_f.h"
#include "data/FillRec.h"
#include "platform/Cp1251Qt.h"

#include <QAction>
#include <QCheckBox>
#include <QSplitter>
#include <QTabWidget>

#include <algorithm>
#include <cstring>

namespace tarn {

namespace {

constexpr const char* StorageSection = "MainForm";
constexpr const char* OptionsSection = "OPTIONS";
constexpr int MinToolsWidth = 140;
constexpr int MinMapWidth = 100;  // the window's width less the tools' widest
constexpr int MinNavHeight = 100;
constexpr int MinTabsSpace = 150;  // below the navigator, down to the tool buttons

int ReadSize(TIniFile& ini, const char* key) { return ini.ReadInteger(StorageSection, key, -1); }

} // namespace

// ---------------------------------------------------------------- the form storage

void TMainForm::RestoreFormStorage()
{
    // The map keeps a usable width and the tools their smallest.
    LeftPanel->setMinimumWidth(MinToolsWidth);
    RightPanel->setMinimumWidth(std::max(MinMapWidth - Splitter2->handleWidth(), 1));
    NavPanel->setMinimumHeight(MinNavHeight);

    TIniFile& ini = *IniFile;
    if (!ini.SectionExists(StorageSection)) return;
    ApplyPlacement(*this, ReadPlacement(ini, StorageSection, PlacementOf(*this)));
    const int right = ReadSize(ini, "RightPanel.Width"), left = ReadSize(ini, "LeftPanel.Width");
    if (right > 0 && left > 0) Splitter2->setSizes({right, left});
    if (const int nav = ReadSize(ini, "NavPanel.Height"); nav > 0) {
        const QList<int> now = Splitter1->sizes();
        const int total = now.size() == 2 ? now[0] + now[1] : 0;
        Splitter1->setSizes({nav, std::max(total - nav, MinTabsSpace)});
    }
    const bool nav = ini.ReadInteger(StorageSection, "NavPanel.Visible", 1) != 0;
    NavPanel->setVisible(nav);
    const std::string caption = ini.ReadString(StorageSection, "miNav.Caption", "");
    if (!caption.empty()) miNav->setText(Cp1251ToQString(caption));
}

void TMainForm::SaveFormStorage()
{
    TIniFile& ini = *IniFile;
    // In full screen the window is kept as it will be again, in its frame.
    TWindowPlacement placed = PlacementOf(*this);
    if (isFullScreen() && SavedFrame.isValid()) {
        const QRect normal = normalGeometry().isValid() ? normalGeometry() : SavedBounds;
        const QMargins frame(SavedBounds.left() - SavedFrame.left(), SavedBounds.top() - SavedFrame.top(),
                             SavedFrame.right() - SavedBounds.right(), SavedFrame.bottom() - SavedBounds.bottom());
        const QRect whole = normal.marginsAdded(frame);
        placed = {whole.x(), whole.y(), whole.width(), whole.height(), placed.WindowState};
    }
    WritePlacement(ini, StorageSection, placed);
    QList<int> sizes = Splitter2->sizes();
    if (LeftPanel->isHidden() && SavedPanelSizes.size() == 2) sizes = {SavedPanelSizes[0], SavedPanelSizes[1]};
    if (sizes.size() == 2) {
        ini.WriteInteger(StorageSection, "RightPanel.Width", sizes[0]);
        ini.WriteInteger(StorageSection, "LeftPanel.Width", sizes[1]);
    }
    ini.WriteInteger(StorageSection, "NavPanel.Height", NavPanel->height());
    ini.WriteInteger(StorageSection, "NavPanel.Visible", NavPanel->isHidden() ? 0 : 1);
    ini.WriteInteger(StorageSection, "Splitter1.Visible", NavPanel->isHidden() ? 0 : 1);
    ini.WriteString(StorageSection, "miNav.Caption", QStringToCp1251(miNav->text()));

    // The program's windows still open keep their places too.
    if (TProgramWindows* w = InfoModule.Windows)
        for (QWidget* window : {static_cast<QWidget*>(w->InformationForm.get()),
                                static_cast<QWidget*>(w->LegendForm.get()), static_cast<QWidget*>(w->UpdateForm.get())})
            if (TFormPlacement* p = TFormPlacement::Of(window); p && window->isVisible()) p->Save();
}

// ---------------------------------------------------------------- full screen and the navigator

void TMainForm::ToggleFullScreen(bool toFull)
{
    if (toFull == LeftPanel->isHidden()) return;
    if (toFull) {
        SetMapFocused(true);
        SavedBounds = geometry();
        SavedFrame = frameGeometry();
        const QList<int> sizes = Splitter2->sizes();
        SavedPanelSizes.assign(sizes.begin(), sizes.end());
        LeftPanel->hide();
        setWindowState(windowState() | Qt::WindowFullScreen);
        return;
    }
    setWindowState(windowState() & ~Qt::WindowFullScreen);
    if (!(windowState() & Qt::WindowMaximized) && SavedBounds.isValid()) setGeometry(SavedBounds);
    LeftPanel->show();
    // The panels come back in their order, at their widths.
    if (SavedPanelSizes.size() == 2) Splitter2->setSizes({SavedPanelSizes[0], SavedPanelSizes[1]});
}

void TMainForm::miNavClick(bool fromMenu)
{
    // From the menu it toggles; from creation it puts the stored state in force.
    bool show = fromMenu ? NavPanel->isHidden() : !NavPanel->isHidden();
    miNav->setEnabled(bool(Navigator));
    if (!Navigator) show = false;
    miNav->setText(QString::fromUtf8(show ? "Скрыть навигатор" : "Показать навигатор"));
    NavPanel->setVisible(show);
}

// ---------------------------------------------------------------- splitters

bool TMainForm::Splitter1CanResize(int32_t newSize)
{
    return newSize >= MinNavHeight && newSize <= Panel7->y() - MinTabsSpace;
}

bool TMainForm::Splitter2CanResize(int32_t newSize)
{
    return newSize >= MinToolsWidth && newSize <= width() - MinMapWidth;
}

void TMainForm::Splitter1Moved()
{
    const QList<int> s = Splitter1->sizes();
    if (s.size() != 2 || NavPanel->isHidden() || Splitter1CanResize(s[0])) return;
    const int nav = std::clamp(s[0], MinNavHeight, std::max(MinNavHeight, int(Panel7->y()) - MinTabsSpace));
    Splitter1->setSizes({nav, s[0] + s[1] - nav});
}

void TMainForm::Splitter2Moved()
{
    const QList<int> s = Splitter2->sizes();
    if (s.size() != 2 || LeftPanel->isHidden() || Splitter2CanResize(s[1])) return;
    const int tools = std::clamp(s[1], MinToolsWidth, std::max(MinToolsWidth, width() - MinMapWidth));
    Splitter2->setSizes({s[0] + s[1] - tools, tools});
}

// ---------------------------------------------------------------- options

void TMainForm::SpeedButton1Click()
{
    TOptionsForm* form = InfoModule.Windows ? InfoModule.Windows->OptionsForm.get() : nullptr;
    if (!form || !ModelPtr) return;
    const bool raster = IniFile->ReadInteger(OptionsSection, "RASTRDRAW", 1) == 1;
    // The labels' font as the project holds it (it is kept there, so a
    // missing "tarn.ini" does not lose it); FONTNAME when no layer names one.
    std::string font = CurrentLabelFont();
    if (font.empty()) font = IniFile->ReadString(OptionsSection, "FONTNAME", "");
    form->CheckBox1->setChecked(raster);
    form->SetFontName(Cp1251ToQString(font));
    if (form->exec() != QDialog::Accepted) return;
    try {
        if (form->CheckBox1->isChecked() != raster) {
            IniFile->WriteInteger(OptionsSection, "RASTRDRAW", form->CheckBox1->isChecked() ? 1 : 0);
            ApplyRasterOption();
            ModelPtr->InvalidateView(*ViewPtr);
        }
        const QString chosen = form->FontName();
        if (!chosen.isEmpty() && QStringToCp1251(chosen) != font) {
            // The font lives in the project: a copy that may not write it changes nothing.
            if (!ModelPtr->ReadOnlyReason.empty()) Services.ShowError(ModelPtr->ReadOnlyReason);
            else ApplyLabelFont(QStringToCp1251(chosen));
        }
    } catch (const std::exception& e) {
        Services.ShowError(e.what());
    }
}

std::string TMainForm::CurrentLabelFont() const
{
    if (!ModelPtr) return {};
    std::vector<TLayerSelector> layers;
    ModelPtr->GetLayerList(0, layers);
    for (const TLayerSelector& selector : layers) {
        TLayerRec rec{};
        if (ModelPtr->GetLayerInfo(selector, rec) != 0 || !IsTextKind(rec.Kind)) continue;
        const char* face = rec.TextFont.FaceName;
        if (const std::size_t n = strnlen(face, sizeof rec.TextFont.FaceName); n > 0) return std::string(face, n);
    }
    return {};
}

void TMainForm::ApplyLabelFont(const std::string& fontName)
{
    std::vector<TLayerSelector> layers;
    ModelPtr->GetLayerList(0, layers);
    for (const TLayerSelector& selector : layers) {
        TLayerRec rec{};
        if (ModelPtr->GetLayerInfo(selector, rec) != 0 || !IsTextKind(rec.Kind)) continue;
        std::memset(rec.TextFont.FaceName, 0, sizeof rec.TextFont.FaceName);
        std::memcpy(rec.TextFont.FaceName, fontName.data(),
                    std::min(fontName.size(), sizeof rec.TextFont.FaceName - 1));
        ModelPtr->SetLayerInfo(selector, rec);
        ModelPtr->SetLayerRecord(selector, 1, rec);
    }
    ModelPtr->RefreshLayers();
    // The name is kept only once the project holds the font: a failed save
    // leaves the choice open to be made again.
    ModelPtr->SaveFile(ProgramDirName + "tarn.prj", 0);
    IniFile->WriteString(OptionsSection, "FONTNAME", fontName);
    ModelPtr->InvalidateView(*ViewPtr);
}

} // namespace tarn
