// The main window's life as a user sees it: closing it ends the program
// with every other window, Qt's own buttons and menus speak Russian, and
// the web-site label plays its animation.
#include "CommandsSupport.h"
#include "cards/CardSupport.h"
#include "search/SearchSupport.h"

#include "app/cards/Cust_f.h"
#include "app/search/Info_f.h"
#include "app/windows/Update_f.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMovie>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace tarn::test {
namespace {

TEST(WindowLife, ClosingTheMainWindowClosesEveryOtherWindowAndEndsTheLoop)
{
    TCityCopy city;
    TStubServices services;
    auto form = StartForm(city.ProgramDir(), services);
    TInfoModule& info = *form.Info;
    TCardRec card = DemoCard("TXT");
    card.Model = form->Model();
    card.View = form->View();
    OpenCardWindow(info, card);
    form->ObjectSearch->ItemIndex = RowOf(form->ObjList, "Медицина");
    ASSERT_TRUE(form->ObjectSearch->ExecuteItem(nullptr));
    ShowTextWindow(info, TTextItemRec{form->Model(), form->View(), {0, 1, 67, 24, 1}, "Text"});
    form->UpdateBtnClick();
    ASSERT_EQ(info.GroupForms.size(), 1u);
    const QPointer<QWidget> group = info.GroupForms[0];
    const std::vector<QWidget*> others{info.CardForm.get(), info.TextForm.get(), info.Windows->UpdateForm.get()};
    for (QWidget* w : others) ASSERT_TRUE(w->isVisible());

    // The program's own loop, ended only by the close.
    bool timedOut = false;
    EXPECT_EQ(RunProgramLoop(form.Form.get(), [&] { form->close(); }, 5000, timedOut), 0);
    EXPECT_FALSE(timedOut) << "the loop went on after the main window closed";
    QCoreApplication::processEvents();
    for (QWidget* w : others) EXPECT_FALSE(w->isVisible()) << w->objectName().toStdString();
    EXPECT_TRUE(group.isNull()) << "a group window goes when it closes";
    // The small windows kept their places.
    for (const char* section : {GroupFormSection, InfoFormSection, CustomFormSection})
        EXPECT_TRUE(info.PositionFile->ValueExists(section, "LEFT")) << section;
}

TEST(WindowLife, QtsOwnButtonsAndMenusAreRussian)
{
    ASSERT_TRUE(InstallQtTranslations()) << "the distribution's Qt translations (scripts/install-deps.sh)";
    // An edit's menu: none of its commands left in English.
    QLineEdit edit("Листоград");
    std::unique_ptr<QMenu> menu(edit.createStandardContextMenu());
    int commands = 0;
    for (QAction* a : menu->actions()) {
        if (a->isSeparator()) continue;
        ++commands;
        const QString text = a->text().remove('&');
        EXPECT_TRUE(std::any_of(text.begin(), text.end(), [](QChar c) { return c.script() == QChar::Script_Cyrillic; }))
            << text.toStdString();
    }
    EXPECT_GE(commands, 6);
    // The buttons of a question.
    TAppServices services;
    TModalDriver answer([&](QWidget& w, int) {
        auto& box = static_cast<QMessageBox&>(w);
        EXPECT_EQ(box.button(QMessageBox::Cancel)->text().remove('&').toStdString(), "Отмена");
        box.button(QMessageBox::Cancel)->click();
    });
    EXPECT_FALSE(services.Confirm("Отменить удаление будет невозможно! Продолжить?"));
    EXPECT_EQ(answer.Seen, 1);
}

TEST(WindowLife, WebSiteLabelPlaysItsOwnAnimation)
{
    TCityCopy city;
    TStubServices services;
    auto form = StartForm(city.ProgramDir(), services);
    QMovie* movie = form->GifAnimator1->movie();
    ASSERT_NE(movie, nullptr);
    EXPECT_TRUE(movie->isValid());
    EXPECT_GT(movie->frameCount(), 1);
    EXPECT_EQ(movie->state(), QMovie::Running);
    EXPECT_EQ(movie->frameRect().size(), form->GifAnimator1->size()) << "it fills its place";
    // Its frames are pictures, and they move.
    ASSERT_TRUE(movie->jumpToFrame(0));
    const QImage first = movie->currentImage();
    ASSERT_TRUE(movie->jumpToFrame(movie->frameCount() / 3));
    const QImage later = movie->currentImage();
    EXPECT_NE(first, later);
    EXPECT_GT(PaperlessShare(first), 0.3) << SaveAppImage(first, "web_site_frame");
}

} // namespace
} // namespace tarn::test
