#include "UnContViews.h"

#include "app/cards/Unzip.h"
#include "platform/Cp1251Qt.h"

#include <QDir>
#include <QFile>
#include <QMouseEvent>
#include <QPainter>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QUrl>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarn {

namespace {

constexpr int64_t MaxPageBytes = int64_t(16) << 20;
// What one page may pull in, all its pictures and style sheets together.
constexpr int64_t MaxPageResourceBytes = int64_t(64) << 20;

// Stands for a resource the page may not have: Qt loads a name itself when
// it gets no picture, so it always gets one.
const QImage& NoPicture()
{
    static const QImage none = [] {
        QImage i(1, 1, QImage::Format_ARGB32);
        i.fill(Qt::transparent);
        return i;
    }();
    return none;
}

} // namespace

std::optional<QByteArray> ReadRegularFile(const std::string& path, int64_t limit)
{
    // Never waits on a pipe or a device, and never reads past the limit
    // whatever the file grows to.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return std::nullopt;
    struct TClose {
        int Fd;
        ~TClose() { ::close(Fd); }
    } closer{fd};
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > limit) return std::nullopt;
    QByteArray bytes(qsizetype(st.st_size), Qt::Uninitialized);
    qsizetype got = 0;
    while (got < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + got, std::size_t(bytes.size() - got));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += n;
    }
    bytes.truncate(got);
    return bytes;
}

QString DecodeHtml(const QByteArray& bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF")) return QString::fromUtf8(bytes.mid(3));
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        QStringDecoder utf16(QStringDecoder::Utf16);
        return utf16.decode(bytes);
    }
    static const QRegularExpression charset(QStringLiteral("<meta[^>]*charset\\s*=\\s*[\"']?\\s*([A-Za-z0-9_.:-]+)"),
                                            QRegularExpression::CaseInsensitiveOption);
    const QString head = QString::fromLatin1(bytes.left(4096));
    const QString name = charset.match(head).captured(1).toLower();
    if (name == QLatin1String("utf-8") || name == QLatin1String("utf8")) return QString::fromUtf8(bytes);
    if (name == QLatin1String("iso-8859-1") || name == QLatin1String("latin1") || name == QLatin1String("us-ascii"))
        return QString::fromLatin1(bytes);
    return Cp1251ToQString(std::string_view(bytes.constData(), std::size_t(bytes.size())));
}

std::string ResolvePageLink(const std::string& root, const QString& pageFolder, const QString& link)
{
    if (root.empty() || link.isEmpty()) return {};
    QString path = link;
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (path.startsWith(QLatin1Char('/'))) return {};
    const QString joined = QDir::cleanPath(pageFolder.isEmpty() ? path : pageFolder + QLatin1Char('/') + path);
    if (joined == QLatin1String("..") || joined.startsWith(QLatin1String("../"))) return {};
    std::string found = FindInFolder(root, joined);
    // Pipes and devices are never opened: one would hang, another never end.
    struct stat st {};
    if (found.empty() || ::lstat(found.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return {};
    return found;
}

// ---- THtmlView ----

THtmlView::THtmlView(QWidget* parent) : QTextBrowser(parent)
{
    setOpenLinks(false);
    setOpenExternalLinks(false);
    QPalette p = palette();
    p.setColor(QPalette::Base, Qt::white);
    setPalette(p);
}

bool THtmlView::OpenFile(const QString& relative)
{
    if (FindInFolder(Root, relative).empty()) return false;
    History.clear();
    Position = -1;
    Push({relative, QString()});
    return !ShownPath.isNull();
}

void THtmlView::OpenMemory(const QByteArray& page)
{
    Memory = page;
    History.clear();
    Position = -1;
    Push({QString(), QString()});
}

bool THtmlView::Follow(const QString& link)
{
    if (Position < 0) return false;
    const TPage& now = History[std::size_t(Position)];
    if (link.startsWith(QLatin1Char('#'))) {
        Push({now.Path, link.mid(1)});
        return true;
    }
    QString target = link, fragment;
    if (const qsizetype hash = target.indexOf(QLatin1Char('#')); hash >= 0) {
        fragment = target.mid(hash + 1);
        target.truncate(hash);
    }
    if (target.startsWith(QLatin1String("file:"), Qt::CaseInsensitive)) target = target.mid(5);
    const std::string found = ResolvePageLink(Root, Folder, target);
    if (found.empty()) return false;
    const QString suffix = QFileInfo(QString::fromStdString(found)).suffix().toLower();
    if (suffix != QLatin1String("htm") && suffix != QLatin1String("html")) return false;
    const QString relative = QString::fromStdString(found.substr(Root.size() + 1));
    Push({relative, fragment});
    return true;
}

void THtmlView::GoBack()
{
    if (!CanGoBack()) return;
    --Position;
    Show(History[std::size_t(Position)]);
}

void THtmlView::GoForward()
{
    if (!CanGoForward()) return;
    ++Position;
    Show(History[std::size_t(Position)]);
}

QString THtmlView::CurrentPage() const
{
    if (Position < 0) return {};
    const TPage& p = History[std::size_t(Position)];
    return p.Fragment.isEmpty() ? p.Path : p.Path + QLatin1Char('#') + p.Fragment;
}

void THtmlView::Push(const TPage& page)
{
    History.resize(std::size_t(Position + 1));
    History.push_back(page);
    if (History.size() > std::size_t(MaxHistory)) History.erase(History.begin());
    Position = int(History.size()) - 1;
    Show(page);
}

void THtmlView::Show(const TPage& page)
{
    if (page.Path != ShownPath || page.Path.isEmpty()) {
        QByteArray bytes;
        if (page.Path.isEmpty()) {
            bytes = Memory;
            Folder.clear();
        } else {
            const std::string file = FindInFolder(Root, page.Path);
            bytes = ReadRegularFile(file, MaxPageBytes).value_or(QByteArray());
            const QString relative = QString::fromStdString(file.substr(std::min(file.size(), Root.size() + 1)));
            Folder = QFileInfo(relative).path();
            if (Folder == QLatin1String(".")) Folder.clear();
        }
        document()->clear();  // drops the pictures of the page before
        ResourceBytes = 0;
        setHtml(DecodeHtml(bytes));
        ShownPath = page.Path.isEmpty() ? QString() : page.Path;
    }
    if (page.Fragment.isEmpty()) moveCursor(QTextCursor::Start);
    else scrollToAnchor(page.Fragment);
}

QVariant THtmlView::loadResource(int type, const QUrl& name)
{
    // Whatever is refused still gets a value: on none the document would
    // load the name itself, from anywhere.
    const auto none = [type]() -> QVariant {
        if (type == QTextDocument::ImageResource) return NoPicture();
        if (type == QTextDocument::StyleSheetResource) return QString(QLatin1String(""));
        return QByteArray("");
    };
    if (type != QTextDocument::ImageResource && type != QTextDocument::StyleSheetResource) return none();
    QByteArray bytes;
    if (name.scheme().compare(QLatin1String("data"), Qt::CaseInsensitive) == 0) {
        // A picture carried in the page itself.
        const QString data = name.toString(QUrl::FullyEncoded);
        const qsizetype comma = data.indexOf(QLatin1Char(','));
        if (type != QTextDocument::ImageResource || comma < 0 || !data.left(comma).endsWith(QLatin1String(";base64")))
            return none();
        bytes = QByteArray::fromBase64(data.mid(comma + 1).toLatin1());
    } else {
        if (!name.scheme().isEmpty() && name.scheme().compare(QLatin1String("file"), Qt::CaseInsensitive) != 0)
            return none();  // nothing from the network, no drive letters
        const std::string file = ResolvePageLink(Root, Folder, name.path(QUrl::FullyDecoded));
        if (file.empty() || ResourceBytes >= MaxPageResourceBytes) return none();
        std::optional<QByteArray> read = ReadRegularFile(file, std::min(MaxPageBytes, MaxPageResourceBytes - ResourceBytes));
        if (!read) return none();
        ResourceBytes += read->size();
        bytes = std::move(*read);
    }
    if (type == QTextDocument::StyleSheetResource) return DecodeHtml(bytes);
    QImage image;
    image.loadFromData(bytes);
    return image.isNull() ? none() : QVariant(image);
}

// ---- TPictureView ----

TPictureView::TPictureView(QWidget* parent) : QWidget(parent) {}

TPictureView::~TPictureView() { Clear(); }

void TPictureView::SetImage(const QImage& image)
{
    Clear();
    Picture = image;
    update();
}

bool TPictureView::SetMovie(const QByteArray& bytes)
{
    Clear();
    MovieBytes = bytes;
    MovieBuffer = std::make_unique<QBuffer>(&MovieBytes);
    MovieBuffer->open(QIODevice::ReadOnly);
    Animation = std::make_unique<QMovie>(MovieBuffer.get(), QByteArray("gif"));
    if (!Animation->isValid() || !Animation->jumpToFrame(0) || Animation->currentImage().isNull()) {
        Clear();
        return false;
    }
    QObject::connect(Animation.get(), &QMovie::frameChanged, this, [this](int) { update(); });
    Animation->start();
    return true;
}

void TPictureView::Clear()
{
    // The movie goes before the buffer it reads and the bytes under it.
    Animation.reset();
    MovieBuffer.reset();
    MovieBytes.clear();
    Picture = QImage();
    update();
}

void TPictureView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    if (!Transparent) p.fillRect(rect(), palette().window());
    const QImage frame = Animation ? Animation->currentImage() : Picture;
    if (frame.isNull()) return;
    if (Stretch) {
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawImage(rect(), frame);
    } else {
        p.drawImage(QPoint(0, 0), frame);
    }
}

void TPictureView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) && OnClick) OnClick();
    QWidget::mouseReleaseEvent(event);
}

} // namespace tarn
