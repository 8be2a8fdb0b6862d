// The application's skeleton: the main window's controls and hints, the
// program's other windows, teardown, the ticker panel, the hint window and
// the addresses the shell is given.
#include "AppSupport.h"

#include "app/SecretPanel.h"
#include "app/cards/Cust_f.h"
#include "app/search/Group_f.h"
#include "app/search/Info_f.h"
#include "app/windows/Inf_f.h"
#include "app/windows/Legend_f.h"
#include "app/windows/Opt_f.h"
#include "app/windows/SelSgn_f.h"
#include "app/windows/Update_f.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTabBar>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QUrl>

#include <gtest/gtest.h>

namespace tarn::test {
namespace {

TEST(Skeleton, InformationTabMenusAndPanelsAreLaidOut)
{
    TCityCopy city;
    TStubServices services;
    auto form = StartForm(city.ProgramDir(), services);
    // The information tab: credits with the codes of their actions, two fixed objects.
    const struct {
        QLabel* Control;
        const char* Name;
        int32_t Tag;
    } tab[] = {
        {form->Image1, "Image1", -3}, {form->Label1, "Label1", -3}, {form->Image2, "Image2", -4},
        {form->Label3, "Label3", -4}, {form->Image5, "Image5", -5}, {form->Label7, "Label7", -5},
        {form->Label5, "Label5", 0},  {form->Label6, "Label6", 0},
    };
    for (const auto& c : tab) {
        EXPECT_EQ(form->findChild<QLabel*>(c.Name), c.Control) << c.Name;
        EXPECT_EQ(c.Control->parentWidget(), form->TabSheet2) << c.Name;
        EXPECT_EQ(TagOf(c.Control), c.Tag) << c.Name;
        EXPECT_TRUE(c.Control->isEnabled()) << c.Name;
    }
    for (const char* name : {"Image1", "Image2", "Image5"})
        EXPECT_FALSE(form->findChild<QLabel*>(name)->pixmap().isNull()) << name;

    // The menus: the navigator's, and the user signs' on their button.
    EXPECT_EQ(form->miNav->text().toStdString(), "Скрыть навигатор");
    EXPECT_TRUE(form->miNav->isEnabled());
    EXPECT_EQ(form->PopupMenu1->actions(), QList<QAction*>{form->miNav});
    EXPECT_EQ(form->UserSignBtn->menu(), form->PopupMenu2);
    EXPECT_EQ(form->PopupMenu2->actions(), (QList<QAction*>{form->N1, form->N_2, form->N2, form->N3}));
    EXPECT_TRUE(form->N3->isSeparator());
    EXPECT_TRUE(form->UserSignBtn->isEnabled());

    EXPECT_FALSE(form->NumPanel->isVisible());
    EXPECT_FALSE(form->SecretPanel1->isVisible());
    EXPECT_EQ(form->SecretPanel1->parentWidget(), form->RightPanel);
    EXPECT_EQ(form->GifAnimator1->parentWidget(), form->InetPanel);
    EXPECT_TRUE(form->InetPanel->isEnabled());
    // The timers run from the end of the creation step.
    EXPECT_TRUE(form->Timer1->isActive());
    EXPECT_TRUE(form->Timer2->isActive());
}

TEST(Skeleton, EveryButtonHasAHintThatTheStatusBarShows)
{
    TCityCopy city;
    TStubServices services;
    auto form = StartForm(city.ProgramDir(), services);
    const QList<QAbstractButton*> buttons = form->findChildren<QAbstractButton*>();
    ASSERT_GE(buttons.size(), 20);
    for (QAbstractButton* b : buttons) {
        if (qobject_cast<QTabBar*>(b->parentWidget())) continue;  // the tab bar's own scroll buttons
        EXPECT_FALSE(b->toolTip().isEmpty()) << b->objectName().toStdString();
        EXPECT_EQ(b->statusTip(), b->toolTip()) << b->objectName().toStdString();
    }
    // A hint on its way up from a control ends in the status bar, its long part.
    const struct {
        QWidget* Control;
        const char* Tip;
        const char* Shown;
    } cases[] = {
        {form->ZoomInBtn, "Увеличить масштаб", "Увеличить масштаб"},
        {form->Label5, "Коротко|Подробно о справочном бюро", "Подробно о справочном бюро"},
        {form->MapPanel->SurfaceWidget(), "", ""},
    };
    for (const auto& c : cases) {
        QStatusTipEvent tip(QString::fromUtf8(c.Tip));
        QCoreApplication::sendEvent(c.Control, &tip);
        EXPECT_EQ(form->StatusBar1->currentMessage().toStdString(), c.Shown) << c.Tip;
    }
}

TEST(Skeleton, ProgramWindowsAreMadeInOrderWithTheirCaptionsAndSizes)
{
    TCityCopy city;
    TStubServices services;
    auto started = StartForm(city.ProgramDir(), services);
    TProgramWindows& w = *started.Windows;
    EXPECT_EQ(started.Info->Windows, &w);
    EXPECT_EQ(started.Info->MainForm, started.Form.get());
    const struct {
        QWidget* Window;
        const char* Name;
        const char* Caption;
        QSize Size;  // empty: none given
        bool OnTop;
    } cases[] = {
        {w.InformationForm.get(), "InformationForm", "Информация", {436, 372}, true},
        {w.LegendForm.get(), "LegendForm", "Легенда", {}, false},
        {w.UpdateForm.get(), "UpdateForm", "Обновление", {336, 396}, true},
        {w.SelectSignForm.get(), "SelectSignForm", "Выбор вида значка", {}, false},
        {w.OptionsForm.get(), "OptionsForm", "Настройка", {}, false},
    };
    for (const auto& c : cases) {
        ASSERT_NE(c.Window, nullptr) << c.Name;
        EXPECT_EQ(c.Window->objectName().toStdString(), c.Name);
        EXPECT_EQ(c.Window->windowTitle().toStdString(), c.Caption) << c.Name;
        if (!c.Size.isEmpty()) {
            EXPECT_EQ(c.Window->size(), c.Size) << c.Name;
        }
        EXPECT_EQ(bool(c.Window->windowFlags() & Qt::WindowStaysOnTopHint), c.OnTop) << c.Name;
        EXPECT_FALSE(c.Window->isVisible()) << c.Name;
    }
    EXPECT_EQ(w.SelectSignForm->minimumSize(), QSize(230, 225));
    EXPECT_EQ(w.InformationForm->ProgramDir, city.ProgramDir());
    started.Windows.reset();
    EXPECT_EQ(started.Info->Windows, nullptr);
}

TEST(Skeleton, TeardownFreesTheCardTextAndGroupWindowsBeforeTheModel)
{
    TCityCopy city;
    TStubServices services;
    auto started = StartForm(city.ProgramDir(), services);
    TInfoModule& info = *started.Info;
    info.CardForm = TOwned<TCustomInfoForm>::Make(info);
    info.TextForm = TOwned<TInfoForm>::Make(info);
    info.TextForm->Model = started->Model();
    QPointer<QWidget> card = info.CardForm.get(), text = info.TextForm.get();
    QPointer<TGroupForm> kept = new TGroupForm(info), closed = new TGroupForm(info);
    info.GroupForms = {kept.data(), closed.data()};
    for (QWidget* w : {card.data(), text.data(), static_cast<QWidget*>(kept), static_cast<QWidget*>(closed)}) w->show();
    closed->close();  // a group window frees itself
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(closed.isNull());

    started.Windows.reset();
    started.Form.reset();
    EXPECT_TRUE(card.isNull());
    EXPECT_TRUE(text.isNull());
    EXPECT_TRUE(kept.isNull());
    EXPECT_TRUE(info.GroupForms.empty());
    EXPECT_EQ(info.MainForm, nullptr);
    EXPECT_FALSE(info.ShowObjectOnMap({0, 1, 67, 24, 1})) << "no main window left";
}

TEST(Skeleton, TickerScrollsItsLineOutOfTheLeftEdgeThenReportsOnce)
{
    TSecretPanel panel;
    panel.resize(200, 20);
    panel.AddLine(QString::fromUtf8("Новости города"));
    panel.SetFontColor(Rgb(255, 0, 0));
    int stops = 0;
    panel.OnStopPlay = [&] { ++stops; };
    const struct {
        int32_t Step;
        bool StopHalfWay;
    } cases[] = {{2, false}, {7, false}, {0, false}, {3, true}};
    for (const auto& c : cases) {
        stops = 0;
        panel.Step = c.Step;
        panel.Play();
        EXPECT_TRUE(panel.Playing());
        EXPECT_EQ(panel.TextLeft(), 200) << "enters at the right edge";
        const int32_t width = QFontMetrics(panel.font()).horizontalAdvance(panel.GetLines().join("   "));
        const int32_t step = std::max(c.Step, 1);
        const int32_t needed = (200 + width + step - 1) / step;
        int32_t ticks = 0;
        while (panel.Playing() && ticks < 10000) {
            if (c.StopHalfWay && ticks == needed / 2) {
                // Half way the text is on the panel in its colour.
                const QImage shown = panel.grab().toImage();
                bool red = false;
                for (int x = 0; x < shown.width() && !red; ++x)
                    for (int y = 0; y < shown.height() && !red; ++y) {
                        const QColor p = shown.pixelColor(x, y);
                        red = p.red() > 180 && p.green() < 90 && p.blue() < 90;
                    }
                EXPECT_TRUE(red) << "half way";
                panel.Stop();
                break;
            }
            panel.ScrollStep();
            ++ticks;
        }
        if (c.StopHalfWay) {
            EXPECT_EQ(stops, 0) << "a stop is no end of the scroll";
            EXPECT_FALSE(panel.Playing());
        } else {
            EXPECT_EQ(ticks, needed) << "step " << c.Step;
            EXPECT_EQ(stops, 1) << "step " << c.Step;
        }
        panel.ScrollStep();  // a tick after the end does nothing
        EXPECT_LE(stops, 1);
    }
    panel.ClearLines();
    EXPECT_TRUE(panel.GetLines().isEmpty());
}

TEST(Skeleton, HintWindowShowsItsTextAtThePointUntilHidden)
{
    TAppServices services;
    services.ShowHint("Городская больница №1, приёмное отделение, круглосуточно", 40, 60, 120);
    QWidget* hint = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == "HintWindow") hint = w;
    ASSERT_NE(hint, nullptr);
    EXPECT_TRUE(hint->isVisible());
    EXPECT_EQ(hint->pos(), QPoint(40, 60));
    EXPECT_EQ(hint->property("text").toString().toStdString(),
              "Городская больница №1, приёмное отделение, круглосуточно");
    services.ShowHint("Вокзал", 10, 10, 350);
    EXPECT_EQ(hint->pos(), QPoint(10, 10));
    services.HideHint();
    EXPECT_FALSE(hint->isVisible());
}

TEST(Skeleton, OnlyWebAndMailAddressesGoToTheShell)
{
    const struct {
        const char* Address;
        bool Taken;
    } cases[] = {
        {"http://www.example.org/", true},   {"https://example.org/a?b=1", true}, {"HTTP://EXAMPLE.ORG", true},
        {"mailto:info@example.org", true},   {"mailto:", false},                  {"http://", false},
        {"file:///etc/passwd", false},       {"ftp://example.org/", false},       {"javascript:alert(1)", false},
        {"C:\\tarn\\setup.exe", false},      {"setup.exe /q", false},             {"", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsWebOrMailAddress(QUrl(QString::fromUtf8(c.Address), QUrl::StrictMode)), c.Taken) << c.Address;
    TStubServices services;
    EXPECT_FALSE(services.TAppServices::OpenAddress("file:///etc/passwd"));
    EXPECT_EQ(services.Errors, std::vector<std::string>{"Не удалось открыть адрес: file:///etc/passwd"});
}

} // namespace
} // namespace tarn::test
