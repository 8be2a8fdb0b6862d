// The services' own behaviour: hints wrapped at their maximum width and
// not before, and hand-offs to the desktop that fail told to the user.
#include "../AppSupport.h"

#include <QDesktopServices>
#include <QFontMetrics>
#include <QTest>
#include <QTextBrowser>
#include <QToolTip>
#include <QUrl>
#include <QWidget>

#include <gtest/gtest.h>

#include <functional>

namespace tarn::test {
namespace {

// The services as the program has them, with what they tell the user kept.
struct TTellingServices : TAppServices {
    std::vector<std::string> Told;
    void ShowError(const std::string& message) override { Told.push_back(message); }
};

QWidget* HintWindow()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == "HintWindow") return w;
    return nullptr;
}

TEST(AppServices, HintWrapsAtItsMaximumWidthAndNotBefore)
{
    const QFont font = QToolTip::font();
    const QFontMetrics metrics(font);
    const struct {
        const char* Text;
        int MaxWidth;
    } cases[] = {
        {"Библиотеки (БИБЛИОТЕКА № 1)", 200},
        {"Библиотеки (БИБЛИОТЕКА № 1)", 350},
        {"Вокзал", 200},
        {"Городская клиническая больница № 1, приёмное отделение, работает круглосуточно и без выходных", 200},
        {"Городская клиническая больница № 1, приёмное отделение, работает круглосуточно и без выходных", 350},
        {"ОЧЕНЬДЛИННОЕСЛОВОБЕЗПРОБЕЛОВКОТОРОЕНЕВЛЕЗАЕТВОДНУСТРОКУНИКАКИМОБРАЗОМ", 200},
    };
    TAppServices services;
    for (const auto& c : cases) {
        const QString text = QString::fromUtf8(c.Text);
        const int natural = metrics.horizontalAdvance(text);
        const QSize size = HintTextSize(font, text, c.MaxWidth);
        if (natural <= c.MaxWidth) {
            EXPECT_EQ(size.height(), metrics.height()) << c.Text << " at " << c.MaxWidth << ": one line";
            EXPECT_GE(size.width(), natural - 1) << c.Text;
        } else if (!text.contains(' ')) {
            EXPECT_GE(size.width(), natural - 1) << c.Text << ": a word is never broken";
        } else {
            EXPECT_LE(size.width(), c.MaxWidth) << c.Text;
            // A line ends only where the next word would not fit.
            EXPECT_GT(size.width(), c.MaxWidth - metrics.horizontalAdvance(QString::fromUtf8(" круглосуточно")))
                << c.Text << " at " << c.MaxWidth;
            EXPECT_GT(size.height(), metrics.height()) << c.Text;
        }
        // The window holds that text with its frame around it.
        services.ShowHint(c.Text, 30, 40, c.MaxWidth);
        QWidget* hint = HintWindow();
        ASSERT_NE(hint, nullptr);
        EXPECT_GE(hint->width(), size.width()) << c.Text;
        EXPECT_LE(hint->width(), size.width() + 10) << c.Text;
        EXPECT_GE(hint->height(), size.height()) << c.Text;
    }
    // A hint near the screen's edge stays on the screen.
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    services.ShowHint(cases[3].Text, screen.right() - 5, screen.bottom() - 5, 200);
    EXPECT_TRUE(screen.contains(HintWindow()->frameGeometry()));
    services.HideHint();
}

TEST(AppServices, HandOffsThatFailAreToldToTheUser)
{
    // A text browser stands for a desktop that takes web addresses.
    QTextBrowser browser;
    const struct {
        const char* What;
        std::function<bool(TAppServices&)> HandOff;
        bool Taken;
        const char* Told;  // "" nothing
    } cases[] = {
        {"a page the desktop takes", [](TAppServices& s) { return s.OpenAddress("https://tarn.example.org/"); }, true,
         ""},
        {"a mail address nothing takes",
         [](TAppServices& s) { return s.OpenAddress("mailto:info@example.org"); }, false,
         "Не удалось открыть почтовую программу для адреса: mailto:info@example.org"},
        {"a file address, never handed on", [](TAppServices& s) { return s.OpenAddress("file:///etc/passwd"); },
         false, "Не удалось открыть адрес: file:///etc/passwd"},
        {"a document nothing opens", [](TAppServices& s) { return s.OpenDocument("/tmp/tarn-card/1.doc"); }, false,
         "Не удалось открыть документ: /tmp/tarn-card/1.doc"},
    };
    QDesktopServices::setUrlHandler("https", &browser, "setSource");
    for (const auto& c : cases) {
        TTellingServices services;
        EXPECT_EQ(c.HandOff(services), c.Taken) << c.What;
        EXPECT_EQ(services.Told, c.Told[0] ? std::vector<std::string>{c.Told} : std::vector<std::string>{}) << c.What;
    }
    QDesktopServices::unsetUrlHandler("https");
    EXPECT_EQ(browser.source(), QUrl("https://tarn.example.org/"));

    // A sound that cannot be played is told once it fails.
    TTellingServices services;
    services.PlaySoundFile("/nonexistent/tarn-bell.wav");
    EXPECT_TRUE(QTest::qWaitFor([&] { return !services.Told.empty(); }, 5000));
    ASSERT_EQ(services.Told.size(), 1u);
    EXPECT_EQ(services.Told[0].rfind("Не удалось воспроизвести звук: /nonexistent/tarn-bell.wav", 0), 0u)
        << services.Told[0];
}

} // namespace
} // namespace tarn::test
