#include "Info_mdl.h"

#include "model/Models.h"
#include "model/ViewWork.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace tarn {

namespace {

constexpr double ShowScale = 2500;

bool OnSomeScreen(const QRect& r)
{
    for (const QScreen* s : QGuiApplication::screens())
        if (s->availableGeometry().intersects(r)) return true;
    return false;
}

} // namespace

std::string PositionFileName(const std::string& programFile)
{
    const std::size_t slash = programFile.find_last_of('/');
    std::string name = slash == std::string::npos ? programFile : programFile.substr(slash + 1);
    if (const std::size_t dot = name.find('.'); dot != std::string::npos) name.erase(dot);
    return name + ".ini";
}

TWindowPlacement PlacementOf(const QWidget& w)
{
    const Qt::WindowStates s = w.windowState();
    QRect g = w.geometry();
    if (s & (Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen))
        if (const QRect normal = w.normalGeometry(); normal.isValid() && !normal.isEmpty()) g = normal;
    TWindowPlacement p{g.x(), g.y(), g.width(), g.height(), 0};
    if (s & Qt::WindowMinimized) p.WindowState = 1;
    else if (s & Qt::WindowMaximized) p.WindowState = 2;
    return p;
}

void ApplyPlacement(QWidget& w, const TWindowPlacement& p)
{
    w.setWindowState(w.windowState() & ~(Qt::WindowMaximized | Qt::WindowMinimized));
    QRect g = w.geometry();
    if (p.Width >= 1 && p.Height >= 1) g.setSize(QSize(p.Width, p.Height));
    // A place left from another screen layout would put the window out of reach.
    if (const QRect at(QPoint(p.Left, p.Top), g.size()); OnSomeScreen(at)) g.moveTopLeft(at.topLeft());
    w.setGeometry(g);
    if (p.WindowState == 2) w.setWindowState(w.windowState() | Qt::WindowMaximized);
    else if (p.WindowState == 1) w.setWindowState(w.windowState() | Qt::WindowMinimized);
}

TWindowPlacement ReadPlacement(TIniFile& ini, const std::string& section, const TWindowPlacement& current)
{
    return {ini.ReadInteger(section, "LEFT", current.Left), ini.ReadInteger(section, "TOP", current.Top),
            ini.ReadInteger(section, "WIDTH", current.Width), ini.ReadInteger(section, "HEIGHT", current.Height),
            ini.ReadInteger(section, "WINDOWSTATE", current.WindowState)};
}

void WritePlacement(TIniFile& ini, const std::string& section, const TWindowPlacement& p)
{
    ini.WriteInteger(section, "LEFT", p.Left);
    ini.WriteInteger(section, "TOP", p.Top);
    ini.WriteInteger(section, "WIDTH", p.Width);
    ini.WriteInteger(section, "HEIGHT", p.Height);
    ini.WriteInteger(section, "WINDOWSTATE", p.WindowState);
}

void RestoreWindowPlacement(QWidget& window, TIniFile& ini, const std::string& section)
{
    ApplyPlacement(window, ReadPlacement(ini, section, PlacementOf(window)));
}

void SaveWindowPlacement(const QWidget& window, TIniFile& ini, const std::string& section)
{
    WritePlacement(ini, section, PlacementOf(window));
}

bool ShowObjectOnMap(TModel& model, TView& view, const TObjectKey& key)
{
    model.GetViewState(view);
    TRect r{};
    if (!ObjectViewRect(model, view, key, r) || model.SetViewRect(view, r) != ResultDone) return false;
    // The fitted rectangle grows from its left and top, so its centre is not
    // the object's: a long street would leave the view at the scale below.
    const TPoint centre{int32_t((int64_t(r.Left) + r.Right) / 2), int32_t((int64_t(r.Top) + r.Bottom) / 2)};
    model.ZoomAtPoint(view, centre, ShowScale);
    TKeyList shown;
    model.HighlightObjects(&view, 0, shown);
    if (!shown.empty()) model.HighlightObjects(&view, 2, shown);
    TKeyList one{key};
    model.HighlightObjects(&view, 1, one);
    model.DrawObjects(view, one);
    return true;
}

TInfoModule::TInfoModule(std::string programDir, std::string programFile, TAppServices& services)
    : Services(services), IniFile(TIniFile::Open(programDir + "tarn.ini")),
      PositionFile(TIniFile::Open(programDir + PositionFileName(programFile))), Dir(std::move(programDir)),
      File(std::move(programFile))
{
}

TInfoModule::~TInfoModule() { CloseWindows(); }

bool TInfoModule::ShowObjectOnMap(const TObjectKey& key)
{
    if (!MainForm || !MainForm->Model()) return false;
    return tarn::ShowObjectOnMap(*MainForm->Model(), *MainForm->View(), key);
}

void TInfoModule::CloseWindows()
{
    CardForm.reset();
    TextForm.reset();
    for (QPointer<QWidget>& g : GroupForms) delete g.data();
    GroupForms.clear();
}

} // namespace tarn
