#include "ControlHooks.h"

#include "platform/Keys.h"

#include <QAbstractButton>
#include <QContextMenuEvent>
#include <QAbstractItemView>
#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QStyledItemDelegate>
#include <QVariant>

#include <algorithm>
#include <memory>
#include <vector>

namespace tarn {

namespace {

const char* const HooksName = "tarn-control-hooks";
const char* const TagProperty = "Tag";

// Events the hooks deliver themselves: past the key preview (they were
// previewed already) and, for characters whose key-down was taken, past
// the receiver's key-down chain.
std::vector<const QEvent*>& Delivering()
{
    static std::vector<const QEvent*> events;
    return events;
}
std::vector<const QEvent*>& CharOnly()
{
    static std::vector<const QEvent*> events;
    return events;
}
// Events a hooks object delivers to its own control, past its own filter.
std::vector<std::pair<const QObject*, const QEvent*>>& Passing()
{
    static std::vector<std::pair<const QObject*, const QEvent*>> events;
    return events;
}
template <class T>
bool Listed(const std::vector<T>& list, const T& e)
{
    return std::find(list.begin(), list.end(), e) != list.end();
}

// Keeps an event listed while it is delivered.
template <class T>
class TListed {
public:
    TListed(std::vector<T>& list, T e) : List(list), Entry(e) { List.push_back(e); }
    ~TListed()
    {
        if (auto it = std::find(List.begin(), List.end(), Entry); it != List.end()) List.erase(it);
    }
    TListed(const TListed&) = delete;
    TListed& operator=(const TListed&) = delete;

private:
    std::vector<T>& List;
    T Entry;
};

// Runs a chain and answers whether the event got to its bottom (the
// control's own behaviour). The flag outlives hooks that a handler frees.
template <class... A, class... V>
bool Run(const std::shared_ptr<bool>& reached, THook<A...>& hook, V&&... args)
{
    const std::shared_ptr<bool> flag = reached;
    const bool outer = *flag;
    *flag = false;
    hook(std::forward<V>(args)...);
    const bool got = *flag;
    *flag = outer;
    return got;
}

template <class... A>
THookToken Floor(const std::shared_ptr<bool>& reached, THook<A...>& hook)
{
    return hook.Install([reached](const typename THook<A...>::TNext&, A...) { *reached = true; });
}

// Holds a context menu asked for by a right press until the release.
class TMenuOnRelease : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* e) override
    {
        switch (e->type()) {
        case QEvent::MouseButtonPress:
            if (static_cast<QMouseEvent*>(e)->button() == Qt::RightButton) {
                RightDown = true;
                Pending = {};
            }
            return false;
        case QEvent::ContextMenu: {
            auto* menu = static_cast<QContextMenuEvent*>(e);
            if (!RightDown || menu->reason() != QContextMenuEvent::Mouse || !watched->isWidgetType()) return false;
            // The first receiver: the menu is asked of it again on the release.
            if (!Pending.Target) Pending = {static_cast<QWidget*>(watched), menu->pos(), menu->globalPos(), menu->modifiers()};
            return true;
        }
        case QEvent::MouseButtonRelease:
            if (static_cast<QMouseEvent*>(e)->button() != Qt::RightButton || !RightDown) return false;
            RightDown = false;
            // Posted: the release itself reaches the control first.
            if (Pending.Target)
                QCoreApplication::postEvent(Pending.Target, new QContextMenuEvent(QContextMenuEvent::Mouse, Pending.Pos,
                                                                                  Pending.GlobalPos, Pending.Modifiers));
            Pending = {};
            return false;
        default: return false;
        }
    }

private:
    struct TPending {
        QPointer<QWidget> Target;
        QPoint Pos, GlobalPos;
        Qt::KeyboardModifiers Modifiers;
    };
    bool RightDown = false;
    TPending Pending;
};

} // namespace

void OpenContextMenusOnRelease()
{
    static TMenuOnRelease* filter = nullptr;
    if (filter) return;
    filter = new TMenuOnRelease(QCoreApplication::instance());
    QCoreApplication::instance()->installEventFilter(filter);
}

// One per application: hands key events to the preview of their window.
class TControlHooks::TPreviewFilter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* e) override
    {
        if (e->type() != QEvent::KeyPress && e->type() != QEvent::KeyRelease) return false;
        if (Listed(Delivering(), static_cast<const QEvent*>(e)) || !watched->isWidgetType()) return false;
        auto* control = static_cast<QWidget*>(watched);
        QWidget* window = control->window();
        if (window == control) return false;  // the window's own chains take it
        TControlHooks* form = TControlHooks::Find(window);
        if (!form || !form->Preview) return false;
        return form->PreviewKey(control, static_cast<QKeyEvent*>(e));
    }
};

// Draws a list's rows through the chain.
class TControlHooks::TRowPainter : public QStyledItemDelegate {
public:
    explicit TRowPainter(TControlHooks* hooks) : QStyledItemDelegate(hooks), Hooks(hooks) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        TDrawItemArgs a{*painter, option, option.rect, index.row(), bool(option.state & QStyle::State_Selected),
                        bool(option.state & QStyle::State_HasFocus)};
        if (Run(Hooks->Reached, Hooks->OnDrawItem, a)) QStyledItemDelegate::paint(painter, option, index);
    }

private:
    TControlHooks* Hooks;
};

TControlHooks* TControlHooks::Find(const QWidget* control)
{
    if (!control) return nullptr;
    return static_cast<TControlHooks*>(
        control->findChild<QObject*>(QString::fromLatin1(HooksName), Qt::FindDirectChildrenOnly));
}

TControlHooks& TControlHooks::Of(QWidget* control)
{
    if (TControlHooks* hooks = Find(control)) return *hooks;
    return *new TControlHooks(control);
}

TControlHooks::TControlHooks(QWidget* control) : QObject(control), Target(control)
{
    setObjectName(QString::fromLatin1(HooksName));
    auto floors = [this](auto&... hooks) { (Bottoms.push_back(Floor(Reached, hooks)), ...); };
    floors(OnKeyDown, OnKeyPress, OnKeyUp, OnMousePress, OnMouseRelease, OnMouseMove, OnClick, OnDoubleClick, OnEnter,
           OnExit, OnResize, OnDrawItem);

    control->installEventFilter(this);
    if (auto* button = qobject_cast<QAbstractButton*>(control)) {
        IsButton = true;
        connect(button, &QAbstractButton::clicked, this, [this] { Run(Reached, OnClick); });
    }
    if (auto* area = qobject_cast<QAbstractScrollArea*>(control)) {
        // Mouse events of a list or a text box arrive at its visible area.
        Area = area->viewport();
        Area->installEventFilter(this);
    }
    if (auto* view = qobject_cast<QAbstractItemView*>(control)) {
        IsItemView = true;
        connect(view, &QAbstractItemView::clicked, this, [this] { Run(Reached, OnClick); });
        if (view->itemDelegate() && view->itemDelegate()->metaObject() == &QStyledItemDelegate::staticMetaObject)
            view->setItemDelegate(new TRowPainter(this));
    }
}

void TControlHooks::SetKeyPreview(bool on)
{
    Preview = on;
    static TPreviewFilter* filter = nullptr;
    if (on && !filter) {
        filter = new TPreviewFilter(QCoreApplication::instance());
        QCoreApplication::instance()->installEventFilter(filter);
    }
}

bool TControlHooks::eventFilter(QObject* watched, QEvent* e)
{
    if (Listed(Passing(), std::pair<const QObject*, const QEvent*>(this, e))) return false;
    const bool own = watched == Target;
    switch (e->type()) {
    case QEvent::KeyPress: return own && KeyPress(static_cast<QKeyEvent*>(e));
    case QEvent::KeyRelease: return own && KeyRelease(static_cast<QKeyEvent*>(e));
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
        // A list's frame and scroll bars are not its rows.
        return (Area ? watched == Area : own) && Mouse(static_cast<QMouseEvent*>(e));
    case QEvent::FocusIn: return own && !Run(Reached, OnEnter);
    case QEvent::FocusOut: return own && !Run(Reached, OnExit);
    case QEvent::Resize:
        if (own) Run(Reached, OnResize);
        return false;
    default: return false;
    }
}

void TControlHooks::Deliver(QObject* receiver, QEvent* e, bool charOnly)
{
    TListed<const QEvent*> delivering(Delivering(), e);
    TListed<std::pair<const QObject*, const QEvent*>> passing(Passing(), {this, e});
    std::unique_ptr<TListed<const QEvent*>> chars;
    if (charOnly) chars = std::make_unique<TListed<const QEvent*>>(CharOnly(), e);
    QCoreApplication::instance()->notify(receiver, e);
}

bool TControlHooks::DeliverTyped(QWidget* receiver, const QKeyEvent& e, QChar c)
{
    // Only what types: with Ctrl or Alt the key is a command (both together
    // stand for AltGr, which types).
    const bool ctrl = e.modifiers() & Qt::ControlModifier, alt = e.modifiers() & Qt::AltModifier;
    if (!c.isPrint() || ctrl != alt) return false;
    const Qt::KeyboardModifiers mods = e.modifiers() & ~(Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    QKeyEvent typed(QEvent::KeyPress, e.key(), mods, QString(c), e.isAutoRepeat(), ushort(e.count()));
    Deliver(receiver, &typed, true);
    return true;
}

bool TControlHooks::KeyPress(QKeyEvent* e)
{
    QPointer<TControlHooks> alive(this);
    TKeyArgs k{VirtualKeyOf(*e), ShiftStateOf(e->modifiers()), e->text()};
    bool down = true;
    if (!Listed(CharOnly(), static_cast<const QEvent*>(e))) down = Run(Reached, OnKeyDown, k) && k.Key != 0;
    if (!alive) return true;
    QChar c;
    bool typed = true;
    if (!e->text().isEmpty()) {
        c = e->text().at(0);
        typed = Run(Reached, OnKeyPress, c) && !c.isNull();
        if (!alive) return true;
    }
    e->accept();
    if (!down) {
        if (typed) DeliverTyped(Target, *e, c);
        return true;
    }
    if (!typed) return true;
    if (!e->text().isEmpty() && c != e->text().at(0)) {
        QKeyEvent other(QEvent::KeyPress, e->key(), e->modifiers(), QString(c), e->isAutoRepeat(), ushort(e->count()));
        Deliver(Target, &other, Listed(CharOnly(), static_cast<const QEvent*>(e)));
        return true;
    }
    if (IsItemView) {
        // A key that moves the current row clicks the list.
        auto* view = static_cast<QAbstractItemView*>(Target);
        const QPersistentModelIndex before = view->currentIndex();
        Deliver(Target, e, Listed(CharOnly(), static_cast<const QEvent*>(e)));
        if (alive && view->currentIndex() != before) Run(Reached, OnClick);
        return true;
    }
    return false;
}

bool TControlHooks::KeyRelease(QKeyEvent* e)
{
    TKeyArgs k{VirtualKeyOf(*e), ShiftStateOf(e->modifiers()), e->text()};
    if (Run(Reached, OnKeyUp, k) && k.Key != 0) return false;
    e->accept();
    return true;
}

bool TControlHooks::PreviewKey(QWidget* control, QKeyEvent* e)
{
    QPointer<TControlHooks> alive(this);
    QPointer<QWidget> receiver(control);
    TKeyArgs k{VirtualKeyOf(*e), ShiftStateOf(e->modifiers()), e->text()};
    // Handled here, whatever the control made of it: a key the control
    // ignores must not go up to the window's own chains a second time.
    struct TAccepted {
        QKeyEvent* Event;
        ~TAccepted() { Event->accept(); }
    } accepted{e};
    if (e->type() == QEvent::KeyRelease) {
        if ((Run(Reached, OnKeyUp, k) && k.Key != 0) && alive && receiver) Deliver(receiver, e);
        return true;
    }
    // The window's own idea of its focus: it need not be the active window.
    const QWidget* focusBefore = Target->focusWidget();
    const bool down = Run(Reached, OnKeyDown, k) && k.Key != 0;
    if (!alive) return true;
    QChar c;
    bool typed = !e->text().isEmpty();
    if (typed) {
        c = e->text().at(0);
        typed = Run(Reached, OnKeyPress, c) && !c.isNull();
        if (!alive) return true;
    }
    if (!down) {
        // The character goes to whoever has the keyboard now.
        QWidget* focus = Target->focusWidget();
        QWidget* target = focus && focus != focusBefore ? focus : receiver.data();
        if (typed && target) DeliverTyped(target, *e, c);
        return true;
    }
    if (!receiver) return true;
    if (!e->text().isEmpty() && !typed) {
        // The character was taken: the control gets the key alone.
        QKeyEvent bare(QEvent::KeyPress, e->key(), e->modifiers(), QString(), e->isAutoRepeat(), ushort(e->count()));
        Deliver(receiver, &bare);
    } else if (!e->text().isEmpty() && c != e->text().at(0)) {
        QKeyEvent other(QEvent::KeyPress, e->key(), e->modifiers(), QString(c), e->isAutoRepeat(), ushort(e->count()));
        Deliver(receiver, &other);
    } else {
        Deliver(receiver, e);
    }
    return true;
}

bool TControlHooks::Mouse(QMouseEvent* e)
{
    const QPoint p = e->position().toPoint();
    const uint32_t shift = ShiftStateOf(e->modifiers(), e->buttons());
    TMouseButton b{};
    switch (e->type()) {
    case QEvent::MouseMove: return !Run(Reached, OnMouseMove, shift, int32_t(p.x()), int32_t(p.y()));
    case QEvent::MouseButtonPress:
        if (!MouseButtonOf(e->button(), b)) return false;
        if (b == TMouseButton::Left) LeftDown = true;
        return !Run(Reached, OnMousePress, b, shift, int32_t(p.x()), int32_t(p.y()));
    case QEvent::MouseButtonDblClick: {
        if (!MouseButtonOf(e->button(), b)) return false;
        QPointer<TControlHooks> alive(this);
        if (!Run(Reached, OnMousePress, b, shift | ShiftDouble, int32_t(p.x()), int32_t(p.y()))) return true;
        return !alive || !Run(Reached, OnDoubleClick);
    }
    case QEvent::MouseButtonRelease: {
        if (!MouseButtonOf(e->button(), b)) return false;
        QPointer<TControlHooks> alive(this);
        const bool passed = Run(Reached, OnMouseRelease, b, shift, int32_t(p.x()), int32_t(p.y()));
        if (!alive) return true;
        // Buttons and lists report their own clicks.
        if (b == TMouseButton::Left && LeftDown && !IsButton && !IsItemView && Target->rect().contains(p))
            Run(Reached, OnClick);
        if (b == TMouseButton::Left) LeftDown = false;
        return !passed;
    }
    default: return false;
    }
}

int32_t TagOf(const QObject* control)
{
    return control ? control->property(TagProperty).toInt() : 0;
}

void SetTag(QObject* control, int32_t tag)
{
    if (control) control->setProperty(TagProperty, tag);
}

} // namespace tarn
