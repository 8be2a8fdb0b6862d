// The card window on the screen: every kind of the demo city's cards in its
// viewer (grabbed to images under the build folder), a page's links
// followed back and forward with the mouse, the animation running, the
// "show" button, and the window's private folder.
#include "CardSupport.h"

#include "app/cards/UnContViews.h"
#include "platform/Cp1251Qt.h"

#include <QMovie>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTextDocument>
#include <QTextTable>
#include <QToolButton>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

namespace tarn::test {
namespace {

QString CardName(const TCardRec& card)
{
    for (const TLoadedRecord& r : DemoCards())
        if (r.Card.Key == card.Key) return Cp1251ToQString(r.Record.Name);
    return {};
}

int Tables(const QTextDocument& doc)
{
    int n = 0;
    for (QTextFrame* f : doc.rootFrame()->childFrames()) n += qobject_cast<QTextTable*>(f) != nullptr;
    return n;
}

QStringList Links(const QTextDocument& doc)
{
    QStringList hrefs;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it)
            if (it.fragment().charFormat().isAnchor()) hrefs += it.fragment().charFormat().anchorHref();
    for (QTextFrame* f : doc.rootFrame()->childFrames())
        if (auto* t = qobject_cast<QTextTable*>(f))
            for (int r = 0; r < t->rows(); ++r)
                for (int c = 0; c < t->columns(); ++c)
                    for (auto it = t->cellAt(r, c).begin(); !it.atEnd(); ++it)
                        for (auto f2 = it.currentBlock().begin(); !f2.atEnd(); ++f2)
                            if (f2.fragment().charFormat().isAnchor()) hrefs += f2.fragment().charFormat().anchorHref();
    return hrefs;
}

// Clicks the link whose text is `text` in a page viewer.
void ClickLink(QTextBrowser& view, const QString& text)
{
    const QTextCursor found = view.document()->find(text);
    ASSERT_FALSE(found.isNull()) << text.toStdString();
    QTextCursor at(view.document());
    at.setPosition(found.selectionStart() + 1);
    const QPoint p = view.cursorRect(at).center();
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, p);
    QCoreApplication::processEvents();
}

TCustomInfoForm& Open(TCardServices& s, const TCardRec& card)
{
    OpenCardWindow(s.Info, card);
    SettleWindow(*s.Info.CardForm);
    return *s.Info.CardForm;
}

TEST(CardWindow, ShowsEveryKindOfTheDemoCardsInItsViewer)
{
    const struct {
        const char* Type;
        uint8_t Kind;
        double MinDrawn;  // of the container
    } cases[] = {
        {"TXT", TUniversalContainer::KindMemo, 0.005},    {"RTF", TUniversalContainer::KindRich, 0.01},
        {"HTM", TUniversalContainer::KindHtml, 0.05},     {"BMP", TUniversalContainer::KindBitmap, 0.05},
        {"JPG", TUniversalContainer::KindJpeg, 0.1},      {"ICO", TUniversalContainer::KindIcon, 0.002},
        {"WMF", TUniversalContainer::KindMetafile, 0.1},  {"GIF", TUniversalContainer::KindGif, 0.02},
        {"ZIP", TUniversalContainer::KindHtml, 0.05},
    };
    TCardServices s;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Type);
        TCustomInfoForm& form = Open(s, DemoCard(c.Type));
        EXPECT_EQ(form.windowTitle(), QString::fromUtf8("Информация"));
        EXPECT_EQ(form.Container->ViewerKind(), c.Kind);
        const QImage whole = form.grab().toImage();
        SaveAppImage(whole, std::string("card-") + c.Type + "");
        const QImage inside = form.Container->grab().toImage();
        EXPECT_GT(DrawnShare(inside), c.MinDrawn) << "the viewer shows the card";
        EXPECT_EQ(form.BackButton->isVisible(), c.Kind == TUniversalContainer::KindHtml);
    }
    EXPECT_TRUE(s.Services.Errors.empty()) << s.Services.Errors.front();
}

TEST(CardWindow, RichTextCardHasCyrillicTableAndLinks)
{
    TCardServices s;
    const TCardRec& card = DemoCard("RTF");
    TCustomInfoForm& form = Open(s, card);
    const QTextDocument& doc = *form.Container->Rich()->document();
    const QString text = doc.toPlainText();
    EXPECT_TRUE(text.contains(CardName(card))) << text.toStdString();
    EXPECT_TRUE(text.contains(QString::fromUtf8("Часы работы")));
    EXPECT_TRUE(text.contains(QChar(0x260E))) << "\\u9742 with its fallback dropped";
    EXPECT_FALSE(text.contains(QLatin1String("mkcity"))) << "skipped destinations";
    EXPECT_EQ(Tables(doc), 1);
    const QStringList links = Links(doc);
    ASSERT_EQ(links.size(), 2) << links.join(' ').toStdString();
    EXPECT_TRUE(links[0].startsWith(QLatin1String("http://www.listograd.example/")));
    EXPECT_EQ(links[1], QLatin1String("http://www.listograd.example"));

    ClickLink(*form.Container->Rich(), QString::fromUtf8("Листоград в сети"));
    ASSERT_EQ(s.Services.Addresses.size(), 1u);
    EXPECT_EQ(s.Services.Addresses[0], links[0].toStdString());
    EXPECT_EQ(form.Container->GetText(), text);
}

TEST(CardWindow, PageCardShowsItsTablePictureAndFollowsItsOwnPlace)
{
    TCardServices s;
    TCustomInfoForm& form = Open(s, DemoCard("HTM"));
    THtmlView& view = *form.Container->Html();
    EXPECT_EQ(Tables(*view.document()), 1);
    EXPECT_TRUE(view.document()->toPlainText().contains(CardName(DemoCard("HTM"))));
    const QImage before = form.grab().toImage();
    // The picture carried in the page: its 160 x 120 house front is drawn.
    int coloured = 0;
    for (int y = 0; y < before.height(); ++y)
        for (int x = 0; x < before.width(); ++x) {
            const QColor c = before.pixelColor(x, y);
            coloured += std::abs(c.red() - c.blue()) > 40 || std::abs(c.green() - c.blue()) > 40;
        }
    EXPECT_GT(coloured, 160 * 120 / 3);

    ClickLink(view, QString::fromUtf8("Справка в таблице"));
    EXPECT_EQ(view.CurrentPage(), QLatin1String("#table"));
    ClickLink(view, QString::fromUtf8("Написать нам"));
    ClickLink(view, QString::fromUtf8("Сайт"));
    EXPECT_EQ(s.Services.Addresses.size(), 2u);
    form.BackButton->click();
    EXPECT_EQ(view.CurrentPage(), QString());
    form.FwdButton->click();
    EXPECT_EQ(view.CurrentPage(), QLatin1String("#table"));
}

TEST(CardWindow, ZipSiteFindsItsMainPageAndFollowsLinksBackAndForward)
{
    TCardServices s;
    const TCardRec& card = DemoCard("ZIP");
    ASSERT_EQ(card.MainFile, "site\\index.htm");
    TCustomInfoForm& form = Open(s, card);
    THtmlView& view = *form.Container->Html();
    ASSERT_EQ(form.Container->ViewerKind(), TUniversalContainer::KindHtml);
    EXPECT_EQ(view.CurrentPage(), QLatin1String("SITE/INDEX.HTM"));
    EXPECT_EQ(Tables(*view.document()), 1);
    EXPECT_FALSE(view.document()->resource(QTextDocument::ImageResource, QUrl("img/front.jpg")).isNull())
        << "the picture named in lower case is found";
    SaveAppImage(form.grab().toImage(), "card-zip-index");

    ClickLink(view, QString::fromUtf8("Подробнее"));
    EXPECT_EQ(view.CurrentPage(), QLatin1String("SITE/Pages/More.htm"));
    EXPECT_FALSE(view.document()->resource(QTextDocument::ImageResource, QUrl("../img/logo.bmp")).isNull());
    SaveAppImage(form.grab().toImage(), "card-zip-more");
    form.BackButton->click();
    EXPECT_EQ(view.CurrentPage(), QLatin1String("SITE/INDEX.HTM"));
    SaveAppImage(form.grab().toImage(), "card-zip-back");
    form.FwdButton->click();
    EXPECT_EQ(view.CurrentPage(), QLatin1String("SITE/Pages/More.htm"));
    ClickLink(view, QString::fromUtf8("На главную"));
    EXPECT_EQ(view.CurrentPage(), QLatin1String("SITE/INDEX.HTM"));

    ClickLink(view, QString::fromUtf8("Звуковое приветствие"));
    ASSERT_EQ(s.Services.SoundFiles.size(), 1u);
    EXPECT_EQ(s.Services.SoundFiles[0], form.TempFolder() + "/SITE/Sound.wav");
    EXPECT_EQ(view.CurrentPage(), QLatin1String("SITE/INDEX.HTM")) << "a sound is no page";
}

TEST(CardWindow, AnimationCardChangesItsFrames)
{
    TCardServices s;
    TCustomInfoForm& form = Open(s, DemoCard("GIF"));
    QMovie* movie = form.Container->Animator()->Movie();
    ASSERT_NE(movie, nullptr);
    EXPECT_EQ(movie->state(), QMovie::Running);
    const QImage first = form.Container->grab().toImage();
    QSignalSpy frames(movie, &QMovie::frameChanged);
    ASSERT_TRUE(frames.wait(2000));
    const QImage second = form.Container->grab().toImage();
    SaveAppImage(first, "card-gif-frame-1");
    SaveAppImage(second, "card-gif-frame-2");
    EXPECT_NE(first, second);
}

TEST(CardWindow, ShowButtonOnlyForObjectsOnTheMap)
{
    TCardServices s;
    for (int32_t code : {-4, 0, 1, 811}) {
        TCardRec card = CardOfBytes("text", "TXT");
        card.Key.Code = code;
        OpenCardWindow(s.Info, card);
        SettleWindow(*s.Info.CardForm);
        EXPECT_EQ(s.Info.CardForm->ShowBtn->isVisible(), code > 0) << code;
        EXPECT_EQ(s.Info.CardForm->ShowBtn->toolTip(), QString::fromUtf8("Показать объект на карте"));
    }
}

TEST(CardWindow, ShowButtonPutsTheObjectAloneHighlightedOnTheMap)
{
    TCityCopy city;
    TStubServices services;
    auto started = StartForm(city.ProgramDir(), services);
    TCardRec card = DemoCard("BMP");
    card.Model = started->Model();
    card.View = started->View();
    OpenCardWindow(*started.Info, card);
    SettleWindow(*started.Info->CardForm);
    QTest::mouseClick(started.Info->CardForm->ShowBtn, Qt::LeftButton);
    TKeyList lit;
    started->Model()->HighlightObjects(started->View(), 0, lit);
    ASSERT_EQ(lit.size(), 1u);
    EXPECT_EQ(lit[0], card.Key);
    EXPECT_NEAR(started->View()->Scale / started->View()->MmPerPixel, 2500, 1);
}

TEST(CardWindow, KeepsItsPlaceInThePositionFile)
{
    TCardServices s;
    TCustomInfoForm& first = Open(s, DemoCard("TXT"));
    first.setGeometry(120, 140, 410, 330);
    const QRect whole = first.frameGeometry();  // the place is of the whole window
    first.close();
    TIniFile& ini = *s.Info.PositionFile;
    EXPECT_EQ(ini.ReadInteger("CUSTOMFORM", "WIDTH", 0), whole.width());
    EXPECT_EQ(ini.ReadInteger("CUSTOMFORM", "HEIGHT", 0), whole.height());
    EXPECT_EQ(ini.ReadInteger("CUSTOMFORM", "WINDOWSTATE", -1), 0);
    TCustomInfoForm& second = Open(s, DemoCard("RTF"));
    EXPECT_EQ(second.size(), QSize(410, 330));
    EXPECT_TRUE(second.windowFlags() & Qt::WindowStaysOnTopHint);
}

TEST(CardWindow, ArchiveGoesToAPrivateFolderRemovedWithTheWindow)
{
    TCardServices s;
    const std::string cwd = std::filesystem::current_path();
    TCustomInfoForm& first = Open(s, DemoCard("ZIP"));
    const std::string folder = first.TempFolder();
    ASSERT_FALSE(folder.empty());
    struct stat st {};
    ASSERT_EQ(::stat(folder.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_EQ(FilesUnder(folder).size(), 9u) << "folders and files of the site, and the owner's mark";
    EXPECT_TRUE(std::filesystem::exists(folder + "/.tarn-owner"));
    EXPECT_EQ(std::filesystem::current_path(), cwd);

    // A hidden read of another archive card has its own folder.
    const TCardRec* other = nullptr;
    for (const TLoadedRecord& r : DemoCards())
        if (r.Card.FileType == "ZIP" && !(r.Card.Key == DemoCard("ZIP").Key)) other = &r.Card;
    ASSERT_NE(other, nullptr);
    const QString text = CardPlainText(s.Info, *other);
    EXPECT_TRUE(text.contains(QString::fromUtf8("Часы работы")));
    EXPECT_TRUE(std::filesystem::exists(folder + "/SITE/INDEX.HTM")) << "the card shown keeps its files";
    EXPECT_FALSE(first.Container->Html()->document()->toPlainText().isEmpty());

    // The next card replaces the window; its folder goes with it.
    Open(s, DemoCard("TXT"));
    EXPECT_FALSE(std::filesystem::exists(folder));
    EXPECT_TRUE(s.Info.CardForm->TempFolder().empty()) << "a text card needs no folder";
    TCustomInfoForm& third = Open(s, DemoCard("ZIP"));
    const std::string again = third.TempFolder();
    EXPECT_NE(again, folder);
    third.close();
    EXPECT_FALSE(std::filesystem::exists(again)) << "closing the window removes its folder";
}

TEST(CardWindow, PlainTextOfCardsLeavesTheShownCardAlone)
{
    TCardServices s;
    TCustomInfoForm& shown = Open(s, DemoCard("HTM"));
    shown.Container->Html()->selectAll();
    const QString selected = shown.Container->Html()->textCursor().selectedText();
    const struct {
        const char* Type;
        bool HasText;
    } cases[] = {{"TXT", true}, {"RTF", true}, {"HTM", true}, {"ZIP", true}, {"JPG", false}, {"GIF", false}};
    for (const auto& c : cases) {
        const QString text = CardPlainText(s.Info, DemoCard(c.Type));
        EXPECT_EQ(!text.isEmpty(), c.HasText) << c.Type;
        if (c.HasText) {
            EXPECT_TRUE(text.contains(CardName(DemoCard(c.Type)).left(8), Qt::CaseInsensitive)) << c.Type;
        }
    }
    EXPECT_EQ(s.Info.CardForm.get(), &shown);
    EXPECT_EQ(shown.Container->Html()->textCursor().selectedText(), selected) << "GetText leaves the selection";
    EXPECT_EQ(shown.Container->ViewerKind(), TUniversalContainer::KindHtml);
    // The ticker's lines come the same way.
    EXPECT_TRUE(CardPlainText(s.Info, DemoCardOfCode(99)).startsWith(QString::fromUtf8("Добро пожаловать")));
}

} // namespace
} // namespace tarn::test
