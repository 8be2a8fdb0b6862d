// The update places and the information window on the demo city: each
// place shows its object alone at 1:2500, the note on updates runs its
// action, the web address goes to the shell as an address; the
// information window's links and its button.
#include "../AppSupport.h"
#include "../search/SearchSupport.h"

#include "app/cards/Cust_f.h"
#include "app/windows/Inf_f.h"
#include "app/windows/Update_f.h"
#include "platform/Cp1251.h"

#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QTextBrowser>
#include <QTextDocument>

#include <gtest/gtest.h>

namespace tarn::test {
namespace {

// Records the busy cursor's turns.
struct TBusyServices : TStubServices {
    std::vector<bool> Busy;
    void SetBusy(bool busy) override { Busy.push_back(busy); }
};

// Pixels of the links' dark blue.
int LinkPixels(const QImage& image)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            n += c.blue() > 120 && c.red() < 80 && c.green() < 80;
        }
    return n;
}

TEST(UpdateWindow, PlacesShowTheirObjectsTheNoteRunsItsActionTheAddressGoesToTheShell)
{
    TCityCopy city;
    TBusyServices services;
    auto form = StartForm(city.ProgramDir(), services);
    TUpdateForm& update = *form.Windows->UpdateForm;
    EXPECT_EQ(update.windowTitle().toStdString(), "Обновление");
    EXPECT_TRUE(update.windowFlags() & Qt::WindowStaysOnTopHint);
    update.show();
    SettleWindow(update);

    QLabel* places[] = {update.Label18, update.Label14, update.Label15, update.Label17,
                        update.Label1,  update.Label2,  update.Label3,  update.Label20};
    for (int32_t code = 1; code <= 8; ++code) {
        QLabel* label = places[code - 1];
        EXPECT_EQ(TagOf(label), code);
        update.ScrollBox1->ensureWidgetVisible(label);
        QTest::mouseClick(label, Qt::LeftButton, {}, QPoint(4, 4));
        ExpectShown(*form, {0, 1, 67, 24, code}, label->objectName().toStdString());
    }
    QTest::mouseClick(update.Label5, Qt::LeftButton, {}, QPoint(4, 4));
    ExpectShown(*form, {0, 1, 11, 5, 811}, "the information centre");

    // A label without a tag changes nothing.
    QLabel untagged;
    const TRect before = form->View()->WorldRect;
    update.Label12Click(&untagged);
    EXPECT_EQ(form->View()->WorldRect, before);
    ExpectShown(*form, {0, 1, 11, 5, 811}, "still the information centre");

    EXPECT_EQ(TagOf(update.Label7), -1);
    services.Busy.clear();
    QTest::mouseClick(update.Label7, Qt::LeftButton, {}, QPoint(4, 4));
    ASSERT_NE(form.Info->CardForm, nullptr) << "the card on updates";
    EXPECT_EQ(TObjectId(form.Info->CardForm->CardRec()->Key), TObjectId(TObjectKey{0, 1, 67, 24, -1}));
    EXPECT_EQ(services.Busy, (std::vector<bool>{true, false})) << "the busy cursor while it runs";

    QTest::mouseClick(update.Label10, Qt::LeftButton, {}, QPoint(4, 4));
    ASSERT_EQ(services.Addresses.size(), 1u);
    EXPECT_EQ(services.Addresses[0], update.Label10->text().toStdString());
    EXPECT_TRUE(services.Documents.empty());

    update.ScrollBox1->verticalScrollBar()->setValue(0);
    const QImage shot = update.grab().toImage();
    SaveAppImage(shot, "update_window");
    EXPECT_GT(LinkPixels(shot), 300) << "the places drawn as links";
    EXPECT_TRUE(services.Errors.empty());
}

// A card with an address written out, a mail link and links that are no
// address.
std::string LinkedCard()
{
    return "{\\rtf1\\ansi\\ansicpg1251\\deff0{\\fonttbl{\\f0 Arial;}}\\fs28\\b " + Utf8ToCp1251("Театр «Листок»") +
           "\\b0\\fs20\\par " + Utf8ToCp1251("Афиша: http://teatr.example.org/afisha.") + "\\par " +
           "{\\field{\\*\\fldinst HYPERLINK \"mailto:kassa@teatr.example.org\"}{\\fldrslt " + Utf8ToCp1251("Касса") +
           "}}\\par {\\field{\\*\\fldinst HYPERLINK \"file:///bin/sh\"}{\\fldrslt sh}}\\par}";
}

TEST(InformationWindow, LinksGoToTheShellAsAddressesOnly)
{
    TCityCopy city;
    TStubServices services;
    auto form = StartForm(city.ProgramDir(), services);
    TInformationForm& w = *form.Windows->InformationForm;
    EXPECT_EQ(w.windowTitle().toStdString(), "Информация");
    EXPECT_EQ(w.ProgramDir, city.ProgramDir());
    w.LoadRichText(LinkedCard(), "teatr.rtf");
    w.show();
    SettleWindow(w);
    EXPECT_FALSE(w.Panel1->isVisible()) << "no object, no button";

    // A click on the address written out in the text.
    const QTextCursor at = w.RichEdit1->document()->find(QStringLiteral("teatr.example.org/afisha"));
    ASSERT_FALSE(at.isNull());
    QTextCursor mid(w.RichEdit1->document());
    mid.setPosition(at.selectionStart() + 3);
    const QPoint p = w.RichEdit1->cursorRect(mid).center();
    QTest::mouseClick(w.RichEdit1->viewport(), Qt::LeftButton, {}, p);
    ASSERT_EQ(services.Addresses.size(), 1u);
    EXPECT_EQ(services.Addresses[0], "http://teatr.example.org/afisha");

    // What reaches the shell is an address, quoted characters encoded;
    // anything else reaches nothing.
    const struct {
        const char* Link;
        const char* Address;
    } cases[] = {
        {"mailto:kassa@teatr.example.org", "mailto:kassa@teatr.example.org"},
        {"http://teatr.example.org/\" & rm -rf ~", "http://teatr.example.org/%22%20&%20rm%20-rf%20~"},
        {"file:///bin/sh", nullptr},
        {"setup.exe /q", nullptr},
    };
    for (const auto& c : cases) {
        services.Addresses.clear();
        w.RichEdit1URLClick(QUrl(QString::fromLatin1(c.Link)));
        if (c.Address) {
            EXPECT_EQ(services.Addresses, std::vector<std::string>{c.Address}) << c.Link;
        } else {
            EXPECT_TRUE(services.Addresses.empty()) << c.Link;
        }
    }
    EXPECT_TRUE(services.Documents.empty());
    EXPECT_THROW(w.LoadRichText("no rich text", "plain.rtf"), ETarnError);
    EXPECT_TRUE(w.RichEdit1->document()->isEmpty()) << "a refused text leaves the window empty";
}

TEST(InformationWindow, ButtonShowsTheCardsObjectAloneOnTheMap)
{
    TCityCopy city;
    TStubServices services;
    auto form = StartForm(city.ProgramDir(), services);
    TInformationForm& w = *form.Windows->InformationForm;
    // A place of the places' layer: the zoom alone shows it round its middle
    // (a sign layer of fixed-size signs gives a sub-metre square).
    const TObjectKey place{0, 1, 67, 24, 3};
    const TObjectKey museum = RegisteredKey(*form->SearchObject, "КРАЕВЕДЧЕСКИЙ МУЗЕЙ");
    ASSERT_TRUE(form.Info->ShowObjectOnMap(museum));

    w.LoadRichText(LinkedCard(), "teatr.rtf");
    w.HasObject = true;
    w.Key = place;
    w.show();
    SettleWindow(w);
    EXPECT_TRUE(w.Panel1->isVisible());
    EXPECT_EQ(w.BitBtn1->text().toStdString(), "Показать на карте");
    QTest::mouseClick(w.BitBtn1, Qt::LeftButton);
    ExpectShown(*form, place, "the card's object", 0);
    SaveAppImage(w.grab().toImage(), "information_window");

    // An object the map does not hold leaves the map as it was.
    const TRect before = form->View()->WorldRect;
    w.Key = {0, 1, 67, 24, 5000};
    w.BitBtn1Click();
    EXPECT_EQ(form->View()->WorldRect, before);
    ExpectShown(*form, place, "still the place", 0);

    w.hide();
    w.HasObject = false;
    w.show();
    EXPECT_FALSE(w.Panel1->isVisible());
}

} // namespace
} // namespace tarn::test
