#include "UnCont.h"

#include "app/cards/UnContViews.h"
#include "app/common/AppServices.h"
#include "data/Streams.h"
#include "db/TarnData.h"
#include "platform/Cp1251Qt.h"
#include "platform/Metafile.h"
#include "platform/RichText.h"

#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QTextDocument>
#include <QUrl>

namespace tarn {

namespace {

// Larger files are no card: the viewer refuses them rather than hold them.
constexpr int64_t MaxFileBytes = int64_t(256) << 20;

QString PlainText(const QByteArray& bytes)
{
    QString text = Cp1251ToQString(std::string_view(bytes.constData(), std::size_t(bytes.size())));
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

// The extension of a name from its last ".", upper-cased (ASCII letters).
QString ExtensionOf(const QString& name)
{
    const qsizetype slash = std::max(name.lastIndexOf(QLatin1Char('/')), name.lastIndexOf(QLatin1Char('\\')));
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot < 0 || dot < slash) return {};
    QString e = name.mid(dot);
    for (QChar& c : e)
        if (c >= QLatin1Char('a') && c <= QLatin1Char('z')) c = QChar(c.unicode() - 32);
    return e;
}

bool IsProgram(const QString& extension)
{
    for (const char* p : {".EXE", ".COM", ".BAT", ".CMD", ".PIF", ".SCR"})
        if (extension == QLatin1String(p)) return true;
    return false;
}

} // namespace

uint8_t ViewerKindOf(const QString& extension)
{
    QString e = extension.startsWith(QLatin1Char('.')) ? extension : QLatin1Char('.') + extension;
    e = ExtensionOf(e).left(4);
    static const std::pair<const char*, uint8_t> kinds[] = {
        {".TXT", TUniversalContainer::KindMemo},     {".RTF", TUniversalContainer::KindRich},
        {".HTM", TUniversalContainer::KindHtml},     {".BMP", TUniversalContainer::KindBitmap},
        {".JPG", TUniversalContainer::KindJpeg},     {".ICO", TUniversalContainer::KindIcon},
        {".WMF", TUniversalContainer::KindMetafile}, {".GIF", TUniversalContainer::KindGif},
    };
    for (const auto& [name, kind] : kinds)
        if (e == QLatin1String(name)) return kind;
    return TUniversalContainer::KindNone;
}

TUniversalContainer::TUniversalContainer(TAppServices& services, QWidget* parent)
    : QWidget(parent), Services(services), MemoView(new QPlainTextEdit(this)), HtmlView(new THtmlView(this)),
      RichView(new QTextBrowser(this)), PictureView(new TPictureView(this)), AnimatorView(new TPictureView(this))
{
    setObjectName("UniversalContainer");
    MemoView->setReadOnly(true);
    RichView->setOpenLinks(false);
    RichView->setOpenExternalLinks(false);
    QObject::connect(RichView, &QTextBrowser::anchorClicked, this, [this](const QUrl& url) {
        if (IsWebOrMailAddress(url)) Services.OpenAddress(url.toString(QUrl::FullyEncoded).toStdString());
    });
    QObject::connect(HtmlView, &QTextBrowser::anchorClicked, this, [this](const QUrl& url) {
        // "\\" in a link is a folder step, as sites made on Windows mean it.
        QString link = url.toString();
        link.replace(QLatin1String("%5C"), QLatin1String("\\"), Qt::CaseInsensitive);
        if (!HotSpotClick(link)) HtmlView->Follow(link);
    });
    PictureView->OnClick = [this] {
        if (OnClick) OnClick(PictureView);
    };
    AnimatorView->OnClick = [this] {
        if (OnClick) OnClick(AnimatorView);
    };
    for (QWidget* w : std::initializer_list<QWidget*>{MemoView, HtmlView, RichView, PictureView, AnimatorView})
        w->hide();
}

TUniversalContainer::~TUniversalContainer() = default;

void TUniversalContainer::resizeEvent(QResizeEvent*)
{
    for (QWidget* w : std::initializer_list<QWidget*>{MemoView, HtmlView, RichView, PictureView, AnimatorView})
        w->setGeometry(rect());
}

int32_t TUniversalContainer::LoadFromFile(const std::string& name)
{
    Kind = KindNone;
    Name = name;
    const QString path = QString::fromStdString(name);
    const QFileInfo info(path);
    if (name.empty() || !info.isFile()) return NoFile;
    const QString extension = ExtensionOf(path);
    if (ViewerKindOf(extension) == KindNone) return NoViewer;
    const std::optional<QByteArray> bytes = ReadRegularFile(name, MaxFileBytes);
    if (!bytes) {
        Kind = ViewerKindOf(extension);
        return ViewerFailed;
    }
    // A page in the local folder keeps its links there; any other page has
    // its own folder.
    QString page = info.fileName();
    const QString root = QFileInfo(QString::fromStdString(Folder)).canonicalFilePath();
    const QString file = info.canonicalFilePath();
    if (!root.isEmpty() && file.startsWith(root + QLatin1Char('/'))) {
        page = file.mid(root.size() + 1);
        HtmlView->SetRoot(root.toStdString());
    } else {
        HtmlView->SetRoot(info.canonicalPath().toStdString());
    }
    return Load(*bytes, extension, page);
}

int32_t TUniversalContainer::LoadFromStream(TStream& stream, int32_t size, const std::string& extension)
{
    std::string bytes;
    try {
        if (size < 0 || size > MaxRecordDataBytes) stream.Fail("data size", std::to_string(size) + " bytes");
        bytes = stream.readBytes(std::size_t(size), "data");
    } catch (const ETarnError&) {
        Kind = ViewerKindOf(QString::fromStdString(extension));
        return Kind == KindNone ? NoViewer : ViewerFailed;
    }
    return LoadFromMemory(bytes, extension);
}

int32_t TUniversalContainer::LoadFromMemory(std::string_view bytes, const std::string& extension)
{
    const QString e = QString::fromStdString(extension);
    Kind = KindNone;
    Name = "1" + (e.startsWith(QLatin1Char('.')) ? extension : "." + extension);
    HtmlView->SetRoot(Folder);
    return Load(QByteArray(bytes.data(), qsizetype(bytes.size())), e, QString());
}

int32_t TUniversalContainer::Load(const QByteArray& bytes, const QString& extension, const QString& pagePath)
{
    Kind = ViewerKindOf(extension);
    switch (Kind) {
    case KindNone: return NoViewer;
    case KindMemo: MemoView->setPlainText(PlainText(bytes)); return Loaded;
    case KindRich:
        try {
            ReadRichText(std::string_view(bytes.constData(), std::size_t(bytes.size())), *RichView->document(), Name);
        } catch (const ETarnError&) {
            RichView->clear();
            return ViewerFailed;
        }
        return Loaded;
    case KindHtml:
        if (pagePath.isEmpty()) HtmlView->OpenMemory(bytes);
        else if (!HtmlView->OpenFile(pagePath)) return ViewerFailed;
        return Loaded;
    case KindGif: return AnimatorView->SetMovie(bytes) ? Loaded : ViewerFailed;
    case KindMetafile:
        try {
            const TMetafile m(std::string_view(bytes.constData(), std::size_t(bytes.size())), Name);
            PictureView->SetImage(m.Render(m.PixelWidth(), m.PixelHeight()));
        } catch (const ETarnError&) {
            PictureView->Clear();
            return ViewerFailed;
        }
        return Loaded;
    default: {
        const char* format = Kind == KindJpeg ? "JPEG" : Kind == KindBitmap ? "BMP" : "ICO";
        const QImage image = QImage::fromData(bytes, format);
        PictureView->SetImage(image);
        return image.isNull() ? ViewerFailed : Loaded;
    }
    }
}

void TUniversalContainer::ShowContainer()
{
    for (QWidget* w : std::initializer_list<QWidget*>{MemoView, HtmlView, RichView, PictureView, AnimatorView})
        w->hide();
    UpdateButtons();
    QWidget* shown = nullptr;
    switch (Kind) {
    case KindMemo: shown = MemoView; break;
    case KindRich: shown = RichView; break;
    case KindHtml: shown = HtmlView; break;
    case KindGif: shown = AnimatorView; break;
    case KindNone: break;
    default: shown = PictureView; break;
    }
    if (shown) {
        shown->setGeometry(rect());
        shown->show();
    }
}

void TUniversalContainer::Clear()
{
    MemoView->clear();
    RichView->clear();
    HtmlView->OpenMemory(QByteArray());
    PictureView->Clear();
    AnimatorView->Clear();
    Kind = KindNone;
    ShowContainer();
}

QString TUniversalContainer::GetText() const
{
    switch (Kind) {
    case KindMemo: return MemoView->toPlainText();
    case KindRich: return RichView->document()->toPlainText();
    case KindHtml: return HtmlView->document()->toPlainText().remove(QChar::ObjectReplacementCharacter);
    default: return {};
    }
}

void TUniversalContainer::SetBackButton(QAbstractButton* button)
{
    if (BackButton) QObject::disconnect(BackButton, nullptr, this, nullptr);
    BackButton = button;
    if (button) QObject::connect(button, &QAbstractButton::clicked, this, [this] { Back(); });
    UpdateButtons();
}

void TUniversalContainer::SetForwardButton(QAbstractButton* button)
{
    if (ForwardButton) QObject::disconnect(ForwardButton, nullptr, this, nullptr);
    ForwardButton = button;
    if (button) QObject::connect(button, &QAbstractButton::clicked, this, [this] { Forward(); });
    UpdateButtons();
}

void TUniversalContainer::Back()
{
    HtmlView->GoBack();
}

void TUniversalContainer::Forward()
{
    HtmlView->GoForward();
}

void TUniversalContainer::SetHideNavigation(bool hide)
{
    HideNav = hide;
    UpdateButtons();
}

void TUniversalContainer::UpdateButtons()
{
    const bool visible = Kind == KindHtml || !HideNav;
    for (QAbstractButton* b : {BackButton, ForwardButton})
        if (b) b->setVisible(visible);
}

void TUniversalContainer::SetStretch(bool stretch)
{
    StretchFlag = stretch;
    PictureView->Stretch = AnimatorView->Stretch = stretch;
    PictureView->update();
    AnimatorView->update();
}

void TUniversalContainer::SetTransparent(bool transparent)
{
    TransparentFlag = transparent;
    PictureView->Transparent = AnimatorView->Transparent = transparent;
    PictureView->update();
    AnimatorView->update();
}

void TUniversalContainer::SetLocalFolder(const std::string& folder) { Folder = folder; }

bool TUniversalContainer::HotSpotClick(const QString& url)
{
    const qsizetype colon = url.indexOf(QLatin1Char(':')) + 1;  // 0: none
    const QString upper = url.toUpper();
    if (colon < 3 || upper.contains(QLatin1String("FILE:"))) {
        QString s = url.left(255);
        qsizetype k = s.indexOf(QLatin1Char(' '));
        if (k < 0) k = s.indexOf(QLatin1Char('?'));
        if (k >= 0) s.truncate(k);  // what follows are the program's parameters: never used
        QString local = s;
        if (const qsizetype f = local.indexOf(QLatin1String("file:"), 0, Qt::CaseInsensitive); f >= 0)
            local = local.mid(f + 5);
        // Only a file inside the card's own folder is ever played or opened.
        const std::string file = ResolvePageLink(HtmlView->RootFolder(), HtmlView->PageFolder(), local);
        const QString extension = ExtensionOf(file.empty() ? local : QString::fromStdString(file)).left(5);
        if (extension == QLatin1String(".WAV")) {
            if (!file.empty()) Services.PlaySoundFile(file);
            return true;
        }
        if (IsProgram(extension)) return true;  // programs named by a card never run
        if (extension == QLatin1String(".MID") || extension == QLatin1String(".AVI")) {
            if (!file.empty()) Services.OpenDocument(file);
            return true;
        }
        return false;
    }
    if (upper.contains(QLatin1String("MAILTO:")) || upper.contains(QLatin1String("HTTP:")) ||
        upper.contains(QLatin1String("HTTPS:"))) {
        Services.OpenAddress(url.toStdString());
        return true;
    }
    return false;
}

} // namespace tarn
