#include "Info_mdl.h"

#include "model/Models.h"
#include "model/ViewWork.h"

#include <QApplication>
#include <QEvent>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <climits>
#include <cstdlib>

namespace tarn {

namespace {

constexpr double ShowScale = 2500;
// How much of a window's top edge must lie on a screen for its title bar
// to be reached, and how far each window of a cascade moves on.
constexpr int ReachableTitle = 40;
constexpr int TitleHeight = 24;
constexpr int CascadeStep = 24;
// How long a window waits for its window manager's frame to finish its size.
constexpr int FrameWaitMs = 3000;

const QString MainFormName = QStringLiteral("MainForm");

bool Framed(const QWidget& w)
{
    const Qt::WindowType type = w.windowType();
    return (type == Qt::Window || type == Qt::Dialog) && !(w.windowFlags() & Qt::FramelessWindowHint);
}

// The window manager's frame around the window, once it had one (it is
// still known when the window is hidden again).
QMargins OwnFrame(const QWidget& w)
{
    if (!w.isWindow()) return {};
    const QRect f = w.frameGeometry(), g = w.geometry();
    return QMargins(g.left() - f.left(), g.top() - f.top(), f.right() - g.right(), f.bottom() - g.bottom());
}

// A window not framed yet will be framed like the program's framed windows.
QMargins LikelyFrame(const QWidget& w)
{
    if (const QMargins own = OwnFrame(w); !own.isNull()) return own;
    for (const QWidget* other : QApplication::topLevelWidgets())
        if (other != &w && Framed(*other))
            if (const QMargins m = OwnFrame(*other); !m.isNull()) return m;
    return {};
}

QSize Grown(QSize size, const QMargins& m) { return size + QSize(m.left() + m.right(), m.top() + m.bottom()); }
QSize Shrunk(QSize size, const QMargins& m)
{
    return QSize(std::max(size.width() - m.left() - m.right(), 1), std::max(size.height() - m.top() - m.bottom(), 1));
}

// Gives a window its whole size once the window manager has framed it,
// when its frame was not known when it was placed.
class TFrameFit : public QObject {
public:
    TFrameFit(QWidget& window, QRect frame, QMargins assumed)
        : QObject(&window), Window(window), Frame(frame), Assumed(assumed)
    {
        window.installEventFilter(this);
        // A window manager that never frames the window leaves it as it is.
        QTimer::singleShot(FrameWaitMs, this, [this] {
            if (OwnFrame(Window).isNull()) deleteLater();
        });
    }

protected:
    bool eventFilter(QObject* watched, QEvent* e) override
    {
        if (watched != &Window || Done) return false;
        if (e->type() != QEvent::Move && e->type() != QEvent::Resize && e->type() != QEvent::Show &&
            e->type() != QEvent::WindowStateChange)
            return false;
        const QMargins real = OwnFrame(Window);
        if (real.isNull()) return false;
        // A maximised window gets its normal size when it is normal again.
        if (Window.windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen | Qt::WindowMinimized)) return false;
        Done = true;
        if (real != Assumed) {
            Window.resize(Shrunk(Frame.size(), real));
            Window.move(Frame.topLeft());
        }
        deleteLater();
        return false;
    }

private:
    QWidget& Window;
    QRect Frame;
    QMargins Assumed;
    bool Done = false;
};

// The area of the screen nearest to the rectangle's centre.
QRect NearestScreenArea(const QRect& r)
{
    QRect best;
    int64_t bestDistance = INT64_MAX;
    for (const QScreen* s : QGuiApplication::screens()) {
        const QRect a = s->availableGeometry();
        const int64_t dx = std::max<int64_t>({int64_t(a.left()) - r.center().x(), 0, int64_t(r.center().x()) - a.right()});
        const int64_t dy = std::max<int64_t>({int64_t(a.top()) - r.center().y(), 0, int64_t(r.center().y()) - a.bottom()});
        if (dx * dx + dy * dy < bestDistance) {
            bestDistance = dx * dx + dy * dy;
            best = a;
        }
    }
    return best;
}

// The main window's rectangle, or else the primary screen's area.
QRect AnchorArea()
{
    for (const QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == MainFormName && w->isVisible()) return w->frameGeometry();
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

// A place off the program's windows open now: a window whose top-left
// corner another one has already moves on down and right.
QPoint Cascaded(const QWidget& window, QPoint at)
{
    std::vector<QPoint> taken;
    for (const QWidget* w : QApplication::topLevelWidgets())
        if (w != &window && w->isVisible() && Framed(*w) && w->objectName() != MainFormName)
            taken.push_back(w->frameGeometry().topLeft());
    for (std::size_t tries = 0; tries <= taken.size(); ++tries) {
        const bool clash = std::any_of(taken.begin(), taken.end(), [&](const QPoint& p) {
            return std::abs(p.x() - at.x()) < CascadeStep / 2 && std::abs(p.y() - at.y()) < CascadeStep / 2;
        });
        if (!clash) break;
        at += QPoint(CascadeStep, CascadeStep);
    }
    return at;
}

} // namespace

std::string PositionFileName(const std::string& programFile)
{
    const std::size_t slash = programFile.find_last_of('/');
    std::string name = slash == std::string::npos ? programFile : programFile.substr(slash + 1);
    if (const std::size_t dot = name.find('.'); dot != std::string::npos) name.erase(dot);
    return name + ".ini";
}

QRect OntoScreen(const QRect& frame)
{
    const QList<QScreen*> screens = QGuiApplication::screens();
    for (const QScreen* s : screens) {
        const QRect a = s->availableGeometry();
        const int across = std::min(frame.right(), a.right()) - std::max(frame.left(), a.left()) + 1;
        if (frame.top() >= a.top() && frame.top() + TitleHeight <= a.bottom() + 1 &&
            across >= std::min(ReachableTitle, frame.width()))
            return frame;
    }
    const QRect area = NearestScreenArea(frame);
    if (area.isEmpty()) return frame;
    QRect r(frame.topLeft(), frame.size().boundedTo(area.size()));
    r.moveLeft(std::clamp(r.left(), area.left(), area.right() + 1 - r.width()));
    r.moveTop(std::clamp(r.top(), area.top(), area.bottom() + 1 - r.height()));
    return r;
}

TWindowPlacement PlacementOf(const QWidget& w)
{
    const Qt::WindowStates s = w.windowState();
    QRect g = w.frameGeometry();
    // Not framed yet: its frame will be as the program's other windows have.
    if (w.isWindow() && OwnFrame(w).isNull()) g = QRect(w.pos(), Grown(w.size(), LikelyFrame(w)));
    if (s & (Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen))
        if (const QRect normal = w.normalGeometry(); normal.isValid() && !normal.isEmpty()) {
            const QMargins m = OwnFrame(w);
            g = QRect(normal.topLeft() - QPoint(m.left(), m.top()), Grown(normal.size(), m));
        }
    TWindowPlacement p{g.x(), g.y(), g.width(), g.height(), 0};
    if (s & Qt::WindowMinimized) p.WindowState = 1;
    else if (s & Qt::WindowMaximized) p.WindowState = 2;
    return p;
}

void ApplyPlacement(QWidget& w, const TWindowPlacement& p)
{
    w.setWindowState(w.windowState() & ~(Qt::WindowMaximized | Qt::WindowMinimized));
    const QMargins frame = LikelyFrame(w);
    QSize size = Grown(w.size(), frame);
    if (p.Width >= 1 && p.Height >= 1) size = QSize(p.Width, p.Height);
    const QRect placed = OntoScreen(QRect(QPoint(p.Left, p.Top), size));
    if (p.WindowState == 1 || p.WindowState == 2) {
        // The normal place of a window made minimised or maximised at once.
        w.setGeometry(QRect(placed.topLeft() + QPoint(frame.left(), frame.top()), Shrunk(placed.size(), frame)));
    } else {
        // A window's position is its frame's; its size is what lies inside.
        w.resize(Shrunk(placed.size(), frame));
        w.move(placed.topLeft());
    }
    if (w.isWindow() && OwnFrame(w).isNull()) new TFrameFit(w, placed, frame);
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
    TWindowPlacement p = ReadPlacement(ini, section, PlacementOf(window));
    if (p.Width < 1 || p.Height < 1) {
        const QSize own = Grown(window.size(), LikelyFrame(window));
        p.Width = own.width();
        p.Height = own.height();
    }
    if (!ini.ValueExists(section, "LEFT") || !ini.ValueExists(section, "TOP")) {
        const QPoint centre = AnchorArea().center();
        p.Left = centre.x() - p.Width / 2;
        p.Top = centre.y() - p.Height / 2;
    }
    const QRect onScreen = OntoScreen(QRect(p.Left, p.Top, p.Width, p.Height));
    const QPoint at = Cascaded(window, onScreen.topLeft());
    p = {at.x(), at.y(), onScreen.width(), onScreen.height(), p.WindowState};
    ApplyPlacement(window, p);
}

void SaveWindowPlacement(const QWidget& window, TIniFile& ini, const std::string& section)
{
    WritePlacement(ini, section, PlacementOf(window));
}

bool ShowObjectOnMap(TModel& model, TView& view, const TObjectKey& key)
{
    model.GetViewState(view);
    TRect r{};
    if (!ObjectViewRect(model, view, key, r)) return false;
    {
        // The fitted view is passed through on the way to the final one.
        TModel::TLevelHold hold(model, view);
        if (model.SetViewRect(view, r) != ResultDone) return false;
        // The fitted rectangle grows from its left and top, so its centre is not
        // the object's: a long street would leave the view at the scale below.
        const TPoint centre{int32_t((int64_t(r.Left) + r.Right) / 2), int32_t((int64_t(r.Top) + r.Bottom) / 2)};
        model.ZoomAtPoint(view, centre, ShowScale);
    }
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
