#pragma once
// The universal container: a panel that shows one file in the viewer its
// extension calls for. Plain text in a memo, rich text in a read-only
// viewer, pages in a page viewer with Back and Forward and link rules,
// BMP, JPEG, ICO and metafile pictures, GIF animations. It loads from a
// file or straight from memory (cards and banners: nothing is written for
// them), and lives as a child of any panel (the card window, the banner
// strip); pictures may be stretched over it.
#include <QString>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

class QAbstractButton;
class QPlainTextEdit;
class QTextBrowser;

namespace tarn {

class TAppServices;
class THtmlView;
class TPictureView;
class TStream;

class TUniversalContainer : public QWidget {
public:
    // Which viewer shows the file.
    enum : uint8_t { KindNone = 0, KindMemo = 1, KindRich = 2, KindHtml = 3, KindJpeg = 4, KindGif = 5,
                     KindMetafile = 6, KindBitmap = 7, KindIcon = 8 };
    // Results of the loads.
    enum : int32_t { Loaded = 0, NoFile = -1, NoViewer = -2, ViewerFailed = -3 };

    explicit TUniversalContainer(TAppServices& services, QWidget* parent = nullptr);
    ~TUniversalContainer() override;

    // The viewer of the extension (from the last ".", upper-cased, cut to
    // four characters: ".html" is a page, ".jpeg" has no viewer) loads the
    // file. A page's pictures and links resolve in the local folder when
    // the file lies in it, else in the file's own folder.
    int32_t LoadFromFile(const std::string& name);
    // `size` bytes from the stream's position, or bytes in memory, as a
    // file of that extension ("JPG" or ".JPG"). A page from memory has no
    // pictures or local links outside the local folder.
    int32_t LoadFromStream(TStream& stream, int32_t size, const std::string& extension);
    int32_t LoadFromMemory(std::string_view bytes, const std::string& extension);

    // Hides every viewer, updates the navigation buttons, shows the viewer
    // of ViewerKind (none for 0).
    void ShowContainer();
    // Empties every viewer; ViewerKind 0 (a card window that closes).
    void Clear();

    // The document as plain text: the memo's, the rich text's or the
    // page's; empty for pictures. Nothing shown changes.
    QString GetText() const;

    // Back and Forward of the page history; the previous button is let go.
    void SetBackButton(QAbstractButton* button);
    void SetForwardButton(QAbstractButton* button);
    // Set: the buttons are hidden unless a page is shown.
    void SetHideNavigation(bool hide);
    bool HideNavigation() const { return HideNav; }
    void SetStretch(bool stretch);
    bool Stretch() const { return StretchFlag; }
    void SetTransparent(bool transparent);
    bool Transparent() const { return TransparentFlag; }

    // The card's own folder: the only place local links and page pictures
    // are taken from; empty: none.
    void SetLocalFolder(const std::string& folder);
    const std::string& LocalFolder() const { return Folder; }

    // A link clicked in a page. Web and mail addresses go to the shell;
    // local ".WAV" sounds are played and ".MID" and ".AVI" documents opened
    // from inside the local folder only; programs are never run. Answers
    // whether the link was handled (else the page viewer follows it).
    bool HotSpotClick(const QString& url);

    uint8_t ViewerKind() const { return Kind; }
    const std::string& FileName() const { return Name; }
    // A click on the picture or the animation; the viewer is the sender.
    std::function<void(QWidget* sender)> OnClick;

    QPlainTextEdit* Memo() const { return MemoView; }
    QTextBrowser* Rich() const { return RichView; }
    THtmlView* Html() const { return HtmlView; }
    TPictureView* Picture() const { return PictureView; }
    TPictureView* Animator() const { return AnimatorView; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    int32_t Load(const QByteArray& bytes, const QString& extension, const QString& pagePath);
    void UpdateButtons();
    void Back();
    void Forward();

    TAppServices& Services;
    std::string Name;
    QPlainTextEdit* MemoView;
    THtmlView* HtmlView;
    QTextBrowser* RichView;
    TPictureView* PictureView;
    TPictureView* AnimatorView;
    bool StretchFlag = false;
    QAbstractButton* BackButton = nullptr;
    QAbstractButton* ForwardButton = nullptr;
    bool HideNav = false;
    bool TransparentFlag = false;
    uint8_t Kind = KindNone;
    std::string Folder;
};

// The viewer kind of an extension as the container reads it; 0 for none.
uint8_t ViewerKindOf(const QString& extension);

} // namespace tarn
