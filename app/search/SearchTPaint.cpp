// Owner-drawn rows with their icons, and the right-click hint of a row.
#include "SearchT.h"

#include "app/cards/Cust_f.h"
#include "app/common/Info_mdl.h"
#include "model/Models.h"
#include "platform/Cp1251Qt.h"

#include <QHash>
#include <QIcon>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeDatabase>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <QStyleOptionViewItem>

namespace tarn {

namespace {

const char* const OwnerDrawProperty = "OwnerDraw";

// The icon that ships with the program for a kind of file, for a desktop
// without an icon theme.
QIcon ShippedIcon(const QMimeType& type)
{
    const char* name = "document";
    if (type.inherits("text/html")) name = "page";
    else if (type.inherits("application/zip")) name = "archive";
    else if (type.name().startsWith("image/")) name = "picture";
    else if (type.inherits("text/plain") || type.inherits("application/rtf") || type.inherits("text/rtf"))
        name = "text";
    return QIcon(QStringLiteral(":/icons/%1.xpm").arg(QLatin1String(name)));
}

// The desktop's icon for a file of this name (the file need not exist).
QIcon FileIcon(const QString& fileName)
{
    static QHash<QString, QIcon> cache;
    const QString key = fileName.toLower();
    if (const auto it = cache.constFind(key); it != cache.constEnd()) return *it;
    static const QMimeDatabase mimes;
    const QMimeType type = mimes.mimeTypeForFile(fileName, QMimeDatabase::MatchExtension);
    QIcon icon = QIcon::fromTheme(type.iconName());
    if (icon.isNull()) icon = QIcon::fromTheme(type.genericIconName());
    if (icon.isNull()) icon = ShippedIcon(type);
    cache.insert(key, icon);
    return icon;
}

QIcon FolderIcon()
{
    static const QIcon folder = [] {
        QIcon theme = QIcon::fromTheme(QStringLiteral("folder"));
        return theme.isNull() ? QIcon(QStringLiteral(":/icons/folder.xpm")) : theme;
    }();
    return folder;
}

} // namespace

void SetOwnerDrawn(QListWidget* list, bool on)
{
    if (!list) return;
    list->setProperty(OwnerDrawProperty, on);
    list->viewport()->update();
}

bool IsOwnerDrawn(const QListWidget* list) { return list && list->property(OwnerDrawProperty).toBool(); }

QIcon RowIcon(const TData& data)
{
    switch (data.Kind) {
    case TextItemKind: return FileIcon(QStringLiteral("1.txt"));
    case SubListKind: return FolderIcon();
    case CardItemKind:
        return FileIcon(QStringLiteral("1.") + Cp1251ToQString(data.As<TCardRec>()->FileType));
    default: return QIcon();
    }
}

bool TSearchText::ListDrawItem(TDrawItemArgs& item)
{
    // A list box that is not owner-drawn draws its rows itself.
    if (!IsOwnerDrawn(List)) return true;
    if (item.Index < 0 || item.Index >= Items.Count()) return false;
    const TData& data = *Items.Data(item.Index);
    const QPalette& palette = item.Option.palette;
    QColor back = palette.color(QPalette::Button), text = palette.color(QPalette::ButtonText);
    const bool marks = data.Kind == ObjectItemKind || data.Kind == TextItemKind || data.Kind == SubListKind ||
                       data.Kind == CardItemKind;
    // The focus wins over the selection; the focus frame marks that row.
    if (marks && item.Selected && !item.Focused) {
        back = palette.color(QPalette::Highlight);
        text = palette.color(QPalette::HighlightedText);
    }
    QPainter& p = item.Painter;
    p.save();
    p.fillRect(item.Rect, back);
    p.setPen(text);
    p.setFont(item.Option.font);
    const QRect& r = item.Rect;
    int left = r.left();
    if (const QIcon icon = RowIcon(data); !icon.isNull()) {
        icon.paint(&p, QRect(r.left(), r.top(), r.height(), r.height()));
        left += r.height();
    }
    p.drawText(QRect(left, r.top(), r.right() - left + 1, r.height()), Qt::AlignLeft | Qt::AlignVCenter,
               List->item(item.Index) ? List->item(item.Index)->text() : Cp1251ToQString(Items.Name(item.Index)));
    if (item.Focused) {
        QStyleOptionFocusRect focus;
        focus.rect = r;
        focus.palette = palette;
        focus.backgroundColor = back;
        List->style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &p, List);
    }
    p.restore();
    return false;
}

// ---------------------------------------------------------------- the row's hint

bool TSearchText::ListMouseDown(TMouseButton button, int32_t x, int32_t y)
{
    if (button != TMouseButton::Right || !List) return true;
    QListWidgetItem* at = List->itemAt(x, y);
    List->setCurrentRow(at ? List->row(at) : -1);
    if (!at) List->clearSelection();
    ItemIndex = List->currentRow();
    if (EditCtl && ItemIndex >= 0 && List->currentItem()) {
        EditCtl->setText(List->currentItem()->text());
        EditCtl->selectAll();
    }
    if (ItemIndex < 0 || ItemIndex >= Items.Count()) return false;
    const TDataPtr data = Items.Data(ItemIndex);
    if (const TObjectKey* key = data->Key(); key && Info) {
        const QString text = GetItemText(*key);
        // The hint opens at the map's top-left corner; an object without
        // text (a card of a picture) shows none.
        QWidget* map = View && View->Wnd ? View->Wnd->Widget() : nullptr;
        const QPoint origin = (map ? map : static_cast<QWidget*>(List))->mapToGlobal(QPoint(HintX, HintY));
        Info->Services.HideHint();
        if (!text.trimmed().isEmpty()) Info->Services.ShowHint(text.toStdString(), origin.x(), origin.y(), HintMaxWidth);
    }
    return true;
}

bool TSearchText::ListMouseUp(TMouseButton button)
{
    if (button == TMouseButton::Right && Info) Info->Services.HideHint();
    return true;
}

QString ItemPlainText(TInfoModule* info, const std::string& name, const TData& data)
{
    if (data.Kind == ObjectItemKind) return Cp1251ToQString(name);
    if (const auto* text = data.As<TTextItemRec>()) return Cp1251ToQString(text->Text);
    if (const auto* card = data.As<TCardRec>()) return info ? CardPlainText(*info, *card) : QString();
    return QString();
}

QString TSearchText::GetItemText(const TObjectKey& key) const
{
    for (int32_t i = 0; i < Items.Count(); ++i)
        if (Items.Data(i)->Matches(key)) return ItemPlainText(Info, Items.Name(i), *Items.Data(i));
    return QString();
}

} // namespace tarn
