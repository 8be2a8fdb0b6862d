#pragma once
// The viewers of the universal container that Qt has no widget for as
// they are needed: a page viewer whose pages, pictures and links stay
// inside one folder and whose history holds ten pages, and a picture view
// that shows a picture or an animation, stretched or not.
#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QMovie>
#include <QTextBrowser>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tarn {

// A page's text: the charset its meta tag or byte order mark names (UTF-8,
// UTF-16, Latin-1, code page 1251), code page 1251 when it names none.
QString DecodeHtml(const QByteArray& bytes);

// Resolves a link of a page: `link` relative to `pageFolder` (both relative
// to the root, "/" or "\" separated), found inside `root` ignoring case;
// empty when it leaves the root or names no regular file there.
std::string ResolvePageLink(const std::string& root, const QString& pageFolder, const QString& link);

// The whole of a regular file of at most `limit` bytes; none for anything
// else (missing, a link, a pipe or a device, too large).
std::optional<QByteArray> ReadRegularFile(const std::string& path, int64_t limit);

// Every file a page asks for (pictures, style sheets, anything the document
// loads) comes from its root folder through ResolvePageLink and nothing
// else: a refused name is an empty resource, never loaded by Qt.
class THtmlView : public QTextBrowser {
public:
    static constexpr int MaxHistory = 10;

    explicit THtmlView(QWidget* parent = nullptr);

    // The folder the pages, their pictures and local links come from; an
    // empty root lets no file be read.
    void SetRoot(const std::string& root) { Root = root; }
    const std::string& RootFolder() const { return Root; }
    // The folder of the page shown, relative to the root.
    const QString& PageFolder() const { return Folder; }

    // A page from the root (relative path, found ignoring case), or from
    // memory; either starts a new history. False when it cannot be read.
    bool OpenFile(const QString& relative);
    void OpenMemory(const QByteArray& page);
    // Follows a link of the page shown: another page inside the root, or a
    // place ("#name") in this page; false when it is neither.
    bool Follow(const QString& link);

    bool CanGoBack() const { return Position > 0; }
    bool CanGoForward() const { return Position + 1 < int(History.size()); }
    void GoBack();
    void GoForward();
    // The page shown ("" for a page from memory) and its place.
    QString CurrentPage() const;

protected:
    QVariant loadResource(int type, const QUrl& name) override;

private:
    struct TPage {
        QString Path;  // relative to the root; empty: the page from memory
        QString Fragment;
    };
    void Show(const TPage& page);
    void Push(const TPage& page);

    std::string Root;
    QString Folder;
    QString ShownPath;
    QByteArray Memory;
    int64_t ResourceBytes = 0;  // read for the page shown
    std::vector<TPage> History;
    int Position = -1;
};

class TPictureView : public QWidget {
public:
    explicit TPictureView(QWidget* parent = nullptr);
    ~TPictureView() override;

    void SetImage(const QImage& image);
    // The animation plays from its own copy of the bytes; false when the
    // bytes are no animation Qt reads.
    bool SetMovie(const QByteArray& bytes);
    void Clear();

    const QImage& Image() const { return Picture; }
    QMovie* Movie() const { return Animation.get(); }
    bool Stretch = false;
    bool Transparent = false;
    std::function<void()> OnClick;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QImage Picture;
    QByteArray MovieBytes;
    std::unique_ptr<QBuffer> MovieBuffer;
    std::unique_ptr<QMovie> Animation;
};

} // namespace tarn
