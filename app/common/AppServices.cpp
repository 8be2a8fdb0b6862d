#include "AppServices.h"

#include "platform/TempFolders.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFontMetrics>
#include <QMessageBox>
#include <QPainter>
#include <QScreen>
#include <QTextDocument>
#include <QToolTip>
#include <QUrl>

#include <algorithm>
#include <functional>
#ifdef TARN_HAVE_MULTIMEDIA
#include <QSoundEffect>
#endif

namespace tarn {

const char* const ApplicationTitle = "Информационная система Tarn";

namespace {

// What the user is told when the desktop would not take a hand-off.
std::string Failed(const char* what, const std::string& name) { return std::string(what) + name; }

constexpr int HintPadding = 3;  // inside the frame, around the text

} // namespace

// One sound at a time. A wave from memory is played from a private file
// of a unique name, removed when the next sound starts. A sound that cannot
// be played is reported once, through `Failure`.
class TAppServices::TSound {
public:
    explicit TSound(std::function<void(const std::string&)> failure) : Failure(std::move(failure)) {}

    void Play(const QString& file, const std::string& name)
    {
#ifdef TARN_HAVE_MULTIMEDIA
        if (!Effect) {
            Effect = std::make_unique<QSoundEffect>();
            QObject::connect(Effect.get(), &QSoundEffect::statusChanged, Effect.get(), [this] {
                if (Effect->status() == QSoundEffect::Error) Failure(Failed("Не удалось воспроизвести звук: ", Name));
            });
        }
        Effect->stop();
        Name = name;
        Effect->setSource(QUrl::fromLocalFile(file));
        Effect->play();
#else
        (void)file;
        Failure(Failed("Не удалось воспроизвести звук (программа собрана без звука): ", name));
#endif
    }
    void PlayBytes(const std::vector<uint8_t>& wave)
    {
        Stop();
        auto folder = std::make_unique<TOwnedTempFolder>(QDir::tempPath().toStdString(), "tarn-sound-");
        if (folder->Path().empty()) {
            Failure(Failed("Не удалось воспроизвести звук: ", folder->Error()));
            return;
        }
        QFile file(QString::fromStdString(folder->Path() + "/sound.wav"));
        if (!file.open(QIODevice::WriteOnly) ||
            file.write(reinterpret_cast<const char*>(wave.data()), qint64(wave.size())) != qint64(wave.size()) ||
            !file.flush()) {
            Failure(Failed("Не удалось воспроизвести звук: ", file.fileName().toStdString() + " (" +
                                                                  file.errorString().toStdString() + ")"));
            return;
        }
        file.close();
        Held = std::move(folder);
        Play(file.fileName(), "звук карточки");
    }
    void Stop()
    {
#ifdef TARN_HAVE_MULTIMEDIA
        if (Effect) Effect->stop();
#endif
        Held.reset();
    }

private:
    std::function<void(const std::string&)> Failure;
#ifdef TARN_HAVE_MULTIMEDIA
    std::unique_ptr<QSoundEffect> Effect;
#endif
    std::unique_ptr<TOwnedTempFolder> Held;  // the folder of the sound playing
    std::string Name;  // of the sound playing, for the message
};

// Draws its text itself, so it breaks lines exactly where HintTextSize
// measured them, and never reads the text as markup.
class TAppServices::THintWindow : public QWidget {
public:
    THintWindow() : QWidget(nullptr, Qt::ToolTip | Qt::FramelessWindowHint)
    {
        setObjectName("HintWindow");
        setFont(QToolTip::font());
        setPalette(QToolTip::palette());
        setAttribute(Qt::WA_ShowWithoutActivating);
    }

    void Show(QString text, QPoint at, int maxWidth)
    {
        // A text's closing line break would only leave an empty line.
        while (text.endsWith(QLatin1Char('\n')) || text.endsWith(QLatin1Char('\r'))) text.chop(1);
        Text = text;
        setProperty("text", text);
        const int chrome = 2 * (HintPadding + 1);
        const QSize inner = HintTextSize(font(), text, maxWidth);
        const QSize size = inner + QSize(chrome, chrome);
        // Kept on the screen of the point, as a hint near an edge is.
        if (const QScreen* screen = QGuiApplication::screenAt(at)) {
            const QRect area = screen->availableGeometry();
            at.setX(std::max(area.left(), std::min(at.x(), area.right() + 1 - size.width())));
            at.setY(std::max(area.top(), std::min(at.y(), area.bottom() + 1 - size.height())));
        }
        setFixedSize(size);
        move(at);
        show();
        raise();
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.fillRect(rect(), palette().color(QPalette::ToolTipBase));
        p.setPen(palette().color(QPalette::ToolTipText));
        p.drawRect(rect().adjusted(0, 0, -1, -1));
        p.setFont(font());
        p.drawText(rect().adjusted(HintPadding + 1, HintPadding + 1, -HintPadding - 1, -HintPadding - 1),
                   Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop, Text);
    }

private:
    QString Text;
};

QSize HintTextSize(const QFont& font, const QString& text, int maxWidth)
{
    const QFontMetrics metrics(font);
    const QRect r = metrics.boundingRect(QRect(0, 0, std::max(maxWidth, 1), 1 << 20),
                                         Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop, text);
    return QSize(std::max(r.width(), 1), std::max(r.height(), metrics.height()));
}

QString PlainToolTip(const QString& text)
{
    return Qt::mightBeRichText(text) ? Qt::convertFromPlainText(text, Qt::WhiteSpaceNormal) : text;
}

bool IsWebOrMailAddress(const QUrl& url)
{
    if (!url.isValid()) return false;
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("mailto")) return !url.path().isEmpty();
    return (scheme == QLatin1String("http") || scheme == QLatin1String("https")) && !url.host().isEmpty();
}

TAppServices::TAppServices() = default;
TAppServices::~TAppServices() = default;

namespace {

// Messages name files and objects from the data: never markup. They stay
// above the card and group windows, which stay on top themselves.
int AskUser(QMessageBox::Icon icon, const std::string& message, QMessageBox::StandardButtons buttons)
{
    QMessageBox box(icon, QString::fromUtf8(ApplicationTitle), QString::fromStdString(message), buttons);
    box.setTextFormat(Qt::PlainText);
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    return box.exec();
}

} // namespace

void TAppServices::ShowError(const std::string& message)
{
    AskUser(QMessageBox::Critical, message, QMessageBox::Ok);
}

bool TAppServices::Confirm(const std::string& message)
{
    return AskUser(QMessageBox::Question, message, QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok;
}

void TAppServices::SetBusy(bool busy)
{
    if (busy) QApplication::setOverrideCursor(Qt::WaitCursor);
    else QApplication::restoreOverrideCursor();
}

int TAppServices::RunLoop(TMainForm&) { return QApplication::exec(); }

bool TAppServices::OpenAddress(const std::string& address)
{
    // Only addresses: a "file:" or program scheme named by data is never handed on.
    const QUrl url(QString::fromStdString(address), QUrl::StrictMode);
    if (IsWebOrMailAddress(url) && QDesktopServices::openUrl(url)) return true;
    ShowError(Failed(url.scheme().compare(QLatin1String("mailto"), Qt::CaseInsensitive) == 0
                         ? "Не удалось открыть почтовую программу для адреса: "
                         : "Не удалось открыть адрес: ",
                     address));
    return false;
}

bool TAppServices::OpenDocument(const std::string& path)
{
    if (QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path)))) return true;
    ShowError(Failed("Не удалось открыть документ: ", path));
    return false;
}

TAppServices::TSound& TAppServices::SoundPlayer()
{
    if (!Sound) Sound = std::make_unique<TSound>([this](const std::string& message) { ShowError(message); });
    return *Sound;
}

void TAppServices::PlaySound(const std::vector<uint8_t>& wave) { SoundPlayer().PlayBytes(wave); }

void TAppServices::PlaySoundFile(const std::string& path)
{
    SoundPlayer().Stop();
    SoundPlayer().Play(QString::fromStdString(path), path);
}

void TAppServices::StopSound()
{
    if (Sound) Sound->Stop();
}

void TAppServices::ShowHint(const std::string& text, int32_t x, int32_t y, int32_t maxWidth)
{
    if (!Hint) Hint = std::make_unique<THintWindow>();
    Hint->Show(QString::fromStdString(text), QPoint(x, y), maxWidth);
}

void TAppServices::HideHint()
{
    if (Hint) Hint->hide();
}

} // namespace tarn
