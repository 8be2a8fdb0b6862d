// The universal container alone: which viewer each file gets and what a
// load answers, loading from a stream, the navigation buttons, the page
// history, and the link rules through the service stubs.
#include "CardSupport.h"

#include "app/cards/UnContViews.h"
#include "data/Streams.h"
#include "tools/CityCards.h"
#include "tools/CityPictures.h"

#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>

namespace tarn::test {
namespace {

void Write(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

TEST(UniversalContainer, ChoosesTheViewerByTheExtension)
{
    TTempDir dir;
    const std::string bmp = city::BmpBytes(city::FacadePicture(20, 10, 1), 8);
    const struct {
        const char* File;
        std::string Bytes;  // none: the file is missing
        int32_t Result;
        uint8_t Kind;
    } cases[] = {
        {"a.txt", "text", 0, TUniversalContainer::KindMemo},
        {"B.TXT", "TEXT", 0, TUniversalContainer::KindMemo},
        {"page.html", "<p>page</p>", 0, TUniversalContainer::KindHtml},
        {"pic.bmp", bmp, 0, TUniversalContainer::KindBitmap},
        {"photo.jpeg", "x", -2, TUniversalContainer::KindNone},
        {"noext", "x", -2, TUniversalContainer::KindNone},
        {"sound.wav", "RIFF", -2, TUniversalContainer::KindNone},
        {"missing.txt", {}, -1, TUniversalContainer::KindNone},
        {"bad.bmp", "not a picture", -3, TUniversalContainer::KindBitmap},
        {"bad.rtf", "not rich text", -3, TUniversalContainer::KindRich},
        {"bad.gif", "GIF89a", -3, TUniversalContainer::KindGif},
        {"bad.wmf", "\xD7\xCD\xC6\x9A", -3, TUniversalContainer::KindMetafile},
        {"dir.txt.d/x", "x", -2, TUniversalContainer::KindNone},
    };
    TStubServices services;
    TUniversalContainer c(services);
    for (const auto& k : cases) {
        const std::string path = dir.File(k.File);
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        if (k.Result != -1) Write(path, k.Bytes);
        EXPECT_EQ(c.LoadFromFile(path), k.Result) << k.File;
        EXPECT_EQ(c.ViewerKind(), k.Kind) << k.File;
        EXPECT_EQ(c.FileName(), path);
    }
    EXPECT_EQ(c.LoadFromFile(dir.File("B.TXT")), 0);
    EXPECT_EQ(c.GetText(), QLatin1String("TEXT"));
    EXPECT_EQ(c.LoadFromFile(dir.File("pic.bmp")), 0);
    EXPECT_EQ(c.GetText(), QString()) << "pictures have no text";
    EXPECT_EQ(c.Picture()->Image().size(), QSize(20, 10));
}

TEST(UniversalContainer, LoadsFromAStreamAtItsPosition)
{
    TStubServices services;
    TUniversalContainer c(services);
    TMemoryStream stream(std::string("head\xCF\xF0\xE8\xE2\xE5\xF2\r\n2\rtail"));
    stream.Seek(4);
    EXPECT_EQ(c.LoadFromStream(stream, 10, "TXT"), 0);
    EXPECT_EQ(c.GetText(), QString::fromUtf8("Привет\n2\n")) << "code page 1251, any line end";
    EXPECT_EQ(stream.Position(), 14);
    EXPECT_EQ(c.LoadFromStream(stream, 100, "TXT"), -3) << "past the end of the stream";
    EXPECT_EQ(c.LoadFromStream(stream, -1, ".txt"), -3);
    EXPECT_EQ(c.LoadFromStream(stream, 1, "DOC"), -2);
}

TEST(UniversalContainer, NavigationButtonsFollowTheKindShown)
{
    TStubServices services;
    TUniversalContainer c(services);
    QWidget panel;
    QPushButton back(&panel), forward(&panel), other(&panel);
    c.SetBackButton(&back);
    c.SetForwardButton(&forward);
    panel.show();
    const struct {
        bool Hide;
        const char* Type;
        bool Visible;
    } cases[] = {{true, "HTM", true}, {true, "TXT", false}, {true, "GIF", false}, {false, "TXT", true}};
    for (const auto& k : cases) {
        c.SetHideNavigation(k.Hide);
        c.LoadFromMemory(k.Type == std::string("GIF") ? city::GifCard({"x", {}, 1}) : "<a name=x>x</a>", k.Type);
        c.ShowContainer();
        EXPECT_EQ(back.isVisible(), k.Visible) << k.Type;
        EXPECT_EQ(forward.isVisible(), k.Visible) << k.Type;
    }
    // A page with eleven places followed: ten are kept.
    std::string page;
    for (int i = 0; i < 12; ++i) page += "<p><a name=\"p" + std::to_string(i) + "\">" + std::to_string(i) + "</a></p>";
    c.LoadFromMemory(page, "HTM");
    for (int i = 1; i < 12; ++i) EXPECT_TRUE(c.Html()->Follow(QString("#p%1").arg(i)));
    int steps = 0;
    while (c.Html()->CanGoBack()) {
        back.click();
        ++steps;
    }
    EXPECT_EQ(steps, 9);
    EXPECT_EQ(c.Html()->CurrentPage(), QLatin1String("#p2"));
    forward.click();
    EXPECT_EQ(c.Html()->CurrentPage(), QLatin1String("#p3"));
    // A button let go of no longer moves the history.
    c.SetBackButton(&other);
    back.click();
    EXPECT_EQ(c.Html()->CurrentPage(), QLatin1String("#p3"));
    other.click();
    EXPECT_EQ(c.Html()->CurrentPage(), QLatin1String("#p2"));
}

TEST(UniversalContainer, LinkRulesThroughTheServices)
{
    TTempDir folder;
    for (const char* f : {"index.htm", "sound.wav", "music.mid", "film.avi", "setup.exe", "game.exe", "song.wave"})
        Write(folder.File(f), "x");
    TStubServices services;
    TUniversalContainer c(services);
    c.SetLocalFolder(folder.Path());
    ASSERT_EQ(c.LoadFromFile(folder.File("index.htm")), 0);
    const std::string in = folder.Path() + "/";
    const struct {
        const char* Link;
        bool Handled;
        std::string Address, Document, Sound;
    } cases[] = {
        {"C:\\Windows\\Media\\ding.wav", true, "", "", ""},  // a drive letter: never inside the card
        {"file:sound.wav", true, "", "", in + "sound.wav"},
        {"FILE:///etc/sound.wav", true, "", "", ""},
        {"sound.wav", true, "", "", in + "sound.wav"},
        {"SOUND.WAV", true, "", "", in + "sound.wav"},
        {"../sound.wav", true, "", "", ""},
        {"http://www.example.org/", true, "http://www.example.org/", "", ""},
        {"https://www.example.org/a", true, "https://www.example.org/a", "", ""},
        {"mailto:info@example.org", true, "mailto:info@example.org", "", ""},
        {"ftp://ftp.example.org/", false, "", "", ""},
        {"setup.exe /q", true, "", "", ""},  // programs named by a card never run
        {"game.exe?lvl=2", true, "", "", ""},
        {"song.wave", false, "", "", ""},  // five letters: no rule's
        {"music.mid", true, "", in + "music.mid", ""},
        {"film.avi?start", true, "", in + "film.avi", ""},
        {"missing.mid", true, "", "", ""},
        {"javascript:alert(1)", false, "", "", ""},
        {"news.htm", false, "", "", ""},
    };
    for (const auto& k : cases) {
        services.Addresses.clear();
        services.Documents.clear();
        services.SoundFiles.clear();
        EXPECT_EQ(c.HotSpotClick(QString::fromUtf8(k.Link)), k.Handled) << k.Link;
        const auto one = [](const std::string& s) { return s.empty() ? std::vector<std::string>{} : std::vector<std::string>{s}; };
        EXPECT_EQ(services.Addresses, one(k.Address)) << k.Link;
        EXPECT_EQ(services.Documents, one(k.Document)) << k.Link;
        EXPECT_EQ(services.SoundFiles, one(k.Sound)) << k.Link;
    }
}

// Names opened in the watched folders since the watcher began, read from the
// kernel's own record of opens.
struct TOpenWatch {
    int Fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    explicit TOpenWatch(std::initializer_list<std::string> folders)
    {
        for (const std::string& f : folders) inotify_add_watch(Fd, f.c_str(), IN_OPEN);
    }
    ~TOpenWatch() { ::close(Fd); }
    std::set<std::string> Opened() const
    {
        std::set<std::string> names;
        alignas(inotify_event) char buffer[8192];
        for (ssize_t n; (n = ::read(Fd, buffer, sizeof buffer)) > 0;)
            for (char* p = buffer; p < buffer + n; p += sizeof(inotify_event) + reinterpret_cast<inotify_event*>(p)->len)
                if (const auto* e = reinterpret_cast<inotify_event*>(p); e->len && !(e->mask & IN_ISDIR))
                    names.insert(e->name);
        return names;
    }
};

TEST(UniversalContainer, PagesOpenNothingOutsideTheirFolder)
{
    TTempDir top;
    namespace fs = std::filesystem;
    const std::string card = top.File("card"), outside = top.File("outside");
    fs::create_directories(card + "/sub");
    fs::create_directories(outside);
    const std::string bmp = city::BmpBytes(city::FacadePicture(8, 8, 1), 8);
    for (const char* f : {"/marker.bmp", "/style.css"}) Write(outside + f, std::string(f) == "/style.css" ? "p{}" : bmp);
    Write(card + "/In.bmp", bmp);
    ASSERT_EQ(::mkfifo((card + "/pipe").c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo((outside + "/pipe2").c_str(), 0600), 0);
    fs::create_directory_symlink(outside, card + "/up");
    fs::create_symlink("/dev/zero", card + "/zero.bmp");
    // Qt's own loader would resolve relative names from here.
    struct TBack {
        fs::path Before = fs::current_path();
        ~TBack() { fs::current_path(Before); }
    } back;
    fs::current_path(card + "/sub");
    const struct {
        std::string Tag;
        bool Shown;
    } cases[] = {
        {"<img src=\"" + outside + "/marker.bmp\">", false},
        {"<img src=\"file://" + outside + "/marker.bmp\">", false},
        {"<img src=\"file:../../outside/marker.bmp\">", false},
        {"<img src=\"../../outside/marker.bmp\">", false},
        {"<body background=\"..\\..\\outside\\marker.bmp\">", false},
        {"<link rel=\"stylesheet\" href=\"" + outside + "/style.css\">", false},
        {"<img src=\"pipe\"><img src=\"" + outside + "/pipe2\">", false},
        {"<img src=\"/dev/zero\"><img src=\"file:///dev/zero\"><img src=\"zero.bmp\">", false},
        {"<img src=\"sub/../../outside/marker.bmp\"><img src=\"up/marker.bmp\">", false},
        {"<img src=\"SUB\\..\\in.BMP\">", true},
    };
    TStubServices services;
    TUniversalContainer c(services);
    c.resize(300, 200);
    c.SetLocalFolder(card);
    for (const auto& k : cases)
        for (const bool fromFile : {true, false}) {
            TOpenWatch watch({card, outside});
            const std::string page = "<p>x</p>" + k.Tag;
            if (fromFile) {
                Write(card + "/page.htm", page);
                ASSERT_EQ(c.LoadFromFile(card + "/page.htm"), 0) << k.Tag;
            } else {
                ASSERT_EQ(c.LoadFromMemory(page, "HTM"), 0) << k.Tag;
            }
            c.ShowContainer();
            c.Html()->grab();  // laid out and painted: every resource asked for
            std::set<std::string> opened = watch.Opened();
            opened.erase("page.htm");
            EXPECT_EQ(opened, k.Shown ? std::set<std::string>{"In.bmp"} : std::set<std::string>{})
                << k.Tag << (fromFile ? " in a file" : " from memory");
        }
}

// Sites made on Windows write "\" in their links, and a page's plain text
// (a hint, the ticker) has no place for its pictures.
TEST(UniversalContainer, BackslashLinksResolveAndPicturesLeaveThePlainText)
{
    TTempDir folder;
    std::filesystem::create_directories(folder.File("Pages"));
    Write(folder.File("index.htm"), "<p>A<img src=\"Pages\\pic.bmp\">B</p>");
    Write(folder.File("Pages/about.htm"), "<p>About</p>");
    Write(folder.File("Pages/ding.wav"), "x");
    TStubServices services;
    TUniversalContainer c(services);
    c.SetLocalFolder(folder.Path());
    ASSERT_EQ(c.LoadFromFile(folder.File("index.htm")), 0);
    EXPECT_EQ(c.GetText(), QLatin1String("AB"));
    emit c.Html()->anchorClicked(QUrl(QStringLiteral("Pages\\DING.WAV")));
    EXPECT_EQ(services.SoundFiles, std::vector{folder.File("Pages/ding.wav")});
    emit c.Html()->anchorClicked(QUrl(QStringLiteral("pages\\ABOUT.htm")));
    EXPECT_EQ(c.Html()->CurrentPage(), QLatin1String("Pages/about.htm"));
}

TEST(UniversalContainer, StretchedPictureInAPanelReportsClicks)
{
    // As the banner strip holds it: a child of a panel, loading from memory.
    TStubServices services;
    QWidget panel;
    panel.resize(2 * city::BannerWidth, 2 * city::BannerHeight);
    auto* c = new TUniversalContainer(services, &panel);
    c->resize(panel.size());
    c->SetStretch(true);
    QWidget* clicked = nullptr;
    c->OnClick = [&clicked](QWidget* sender) { clicked = sender; };
    panel.show();
    const struct {
        const char* Type;
        std::string Bytes;
    } cases[] = {{"BMP", city::BmpBanner(3, "МУЗЕЙ")}, {"GIF", city::GifBanner(3, "ТЕАТР")}, {"JPG", city::JpgBanner(3, "ГОСТИНИЦА")}};
    for (const auto& k : cases) {
        ASSERT_EQ(c->LoadFromMemory(k.Bytes, k.Type), 0) << k.Type;
        c->ShowContainer();
        QWidget* viewer = k.Type == std::string("GIF") ? static_cast<QWidget*>(c->Animator()) : c->Picture();
        EXPECT_TRUE(viewer->isVisible()) << k.Type;
        EXPECT_EQ(viewer->size(), panel.size()) << k.Type;
        const QColor corner = c->grab().toImage().pixelColor(panel.width() - 3, panel.height() - 3);
        EXPECT_NE(corner, c->palette().color(QPalette::Window)) << k.Type << ": stretched over the panel";
        clicked = nullptr;
        QTest::mouseClick(viewer, Qt::LeftButton, {}, QPoint(100, 30));
        EXPECT_EQ(clicked, viewer) << k.Type;
    }
}

TEST(UniversalContainer, PageFromMemoryDecodesItsCharset)
{
    const struct {
        std::string Bytes;
        const char* Text;
    } cases[] = {
        {"<p>\xCF\xF0\xE8\xE2\xE5\xF2</p>", "Привет"},
        {"<meta charset=\"utf-8\"><p>\xD0\x9F\xD1\x80\xD0\xB8</p>", "При"},
        {"<meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1251\"><p>\xC4\xE0</p>", "Да"},
        {"<META CONTENT='text/html; CHARSET=ISO-8859-1'><p>caf\xE9</p>", "café"},
        {"\xEF\xBB\xBF<p>\xD0\x94\xD0\xB0</p>", "Да"},
    };
    for (const auto& k : cases)
        EXPECT_EQ(DecodeHtml(QByteArray::fromStdString(k.Bytes)).contains(QString::fromUtf8(k.Text)), true) << k.Text;
}

} // namespace
} // namespace tarn::test
