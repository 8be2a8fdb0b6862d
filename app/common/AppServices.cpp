#include "AppServices.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QLabel>
#include <QMessageBox>
#include <QTemporaryFile>
#include <QUrl>
#ifdef TARN_HAVE_MULTIMEDIA
#include <QSoundEffect>
#endif

namespace tarn {

const char* const ApplicationTitle = "Информационная система Tarn";

// One sound at a time. A wave from memory is played from a private file
// of a unique name, removed when the next sound starts.
class TAppServices::TSound {
public:
    void Play(const QString& file)
    {
#ifdef TARN_HAVE_MULTIMEDIA
        if (!Effect) Effect = std::make_unique<QSoundEffect>();
        Effect->stop();
        Effect->setSource(QUrl::fromLocalFile(file));
        Effect->play();
#else
        (void)file;
#endif
    }
    void PlayBytes(const std::vector<uint8_t>& wave)
    {
        Stop();
        auto file = std::make_unique<QTemporaryFile>(QDir::tempPath() + QStringLiteral("/tarn-sound-XXXXXX.wav"));
        if (!file->open()) return;
        if (file->write(reinterpret_cast<const char*>(wave.data()), qint64(wave.size())) != qint64(wave.size())) return;
        file->flush();
        Held = std::move(file);
        Play(Held->fileName());
    }
    void Stop()
    {
#ifdef TARN_HAVE_MULTIMEDIA
        if (Effect) Effect->stop();
#endif
        Held.reset();
    }

private:
#ifdef TARN_HAVE_MULTIMEDIA
    std::unique_ptr<QSoundEffect> Effect;
#endif
    std::unique_ptr<QTemporaryFile> Held;
};

class TAppServices::THintWindow {
public:
    THintWindow() : Label(new QLabel(nullptr, Qt::ToolTip | Qt::FramelessWindowHint))
    {
        Label->setObjectName("HintWindow");
        Label->setWordWrap(true);
        Label->setMargin(3);
        Label->setForegroundRole(QPalette::ToolTipText);
        Label->setBackgroundRole(QPalette::ToolTipBase);
        Label->setAutoFillBackground(true);
        Label->setFrameStyle(QFrame::Box | QFrame::Plain);
    }
    ~THintWindow() { delete Label; }
    THintWindow(const THintWindow&) = delete;
    THintWindow& operator=(const THintWindow&) = delete;

    void Show(const QString& text, QPoint at, int maxWidth)
    {
        Label->setText(text);
        Label->setMaximumWidth(std::max(maxWidth, 16));
        Label->adjustSize();
        Label->move(at);
        Label->show();
        Label->raise();
    }
    void Hide() { Label->hide(); }

private:
    QLabel* Label;
};

bool IsWebOrMailAddress(const QUrl& url)
{
    if (!url.isValid()) return false;
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("mailto")) return !url.path().isEmpty();
    return (scheme == QLatin1String("http") || scheme == QLatin1String("https")) && !url.host().isEmpty();
}

TAppServices::TAppServices() = default;
TAppServices::~TAppServices() = default;

void TAppServices::ShowError(const std::string& message)
{
    QMessageBox box(QMessageBox::Critical, QString::fromUtf8(ApplicationTitle), QString::fromStdString(message),
                    QMessageBox::Ok);
    box.exec();
}

bool TAppServices::Confirm(const std::string& message)
{
    QMessageBox box(QMessageBox::Question, QString::fromUtf8(ApplicationTitle), QString::fromStdString(message),
                    QMessageBox::Ok | QMessageBox::Cancel);
    return box.exec() == QMessageBox::Ok;
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
    if (!IsWebOrMailAddress(url)) return false;
    return QDesktopServices::openUrl(url);
}

bool TAppServices::OpenDocument(const std::string& path)
{
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path)));
}

void TAppServices::PlaySound(const std::vector<uint8_t>& wave)
{
    if (!Sound) Sound = std::make_unique<TSound>();
    Sound->PlayBytes(wave);
}

void TAppServices::PlaySoundFile(const std::string& path)
{
    if (!Sound) Sound = std::make_unique<TSound>();
    Sound->Stop();
    Sound->Play(QString::fromStdString(path));
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
    if (Hint) Hint->Hide();
}

} // namespace tarn
