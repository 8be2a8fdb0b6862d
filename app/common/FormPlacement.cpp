#include "FormPlacement.h"

#include "app/common/Info_mdl.h"

#include <QEvent>
#include <QWidget>

namespace tarn {

namespace {
const QString PlacementName = QStringLiteral("FormPlacement");
}

TFormPlacement::TFormPlacement(QWidget& window, TInfoModule& info, std::string section)
    : QObject(&window), Window(window), Info(info), SectionName(std::move(section))
{
    setObjectName(PlacementName);
    window.installEventFilter(this);
}

TFormPlacement* TFormPlacement::Of(const QWidget* window)
{
    return window ? window->findChild<TFormPlacement*>(PlacementName, Qt::FindDirectChildrenOnly) : nullptr;
}

void TFormPlacement::Restore()
{
    Restored = true;
    if (Info.IniFile->SectionExists(SectionName)) RestoreWindowPlacement(Window, *Info.IniFile, SectionName);
}

void TFormPlacement::Save() { SaveWindowPlacement(Window, *Info.IniFile, SectionName); }

bool TFormPlacement::eventFilter(QObject* watched, QEvent* e)
{
    if (watched != &Window) return false;
    if (e->type() == QEvent::Show && !Restored) {
        Restore();
    } else if (e->type() == QEvent::Hide && !e->spontaneous()) {
        try {
            Save();
        } catch (const std::exception& error) {
            Info.Services.ShowError(error.what());
        }
    }
    return false;
}

} // namespace tarn
