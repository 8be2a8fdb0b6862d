// Names from the data files and the user are shown as they stand, never
// read as markup: a name holding <img src=...> would otherwise have the
// program read any local file (/dev/zero ends it, a pipe blocks it).
#include "AppSupport.h"
#include "CommandsSupport.h"
#include "search/SearchSupport.h"

#include "app/cards/UnCont.h"
#include "app/search/Group_f.h"
#include "app/search/SearchT.h"
#include "app/windows/Legend_f.h"
#include "data/FillRec.h"
#include "platform/Cp1251Qt.h"

#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QStatusBar>
#include <QTextDocument>

#include <gtest/gtest.h>

#include <cstring>

namespace tarn::test {
namespace {

// What a tooltip shows: Qt reads one that looks like markup as markup.
QString AsShown(const QString& tip)
{
    if (!Qt::mightBeRichText(tip)) return tip;
    QTextDocument document;
    document.setHtml(tip);
    return document.toPlainText();
}

// The tooltip of a list's row, as the mouse over it leaves it.
QString RowTip(QListWidget* list, int row, const std::function<void(int32_t, int32_t)>& mouseMove)
{
    const QPoint at = list->visualItemRect(list->item(row)).center();
    mouseMove(at.x(), at.y());
    return AsShown(list->toolTip());
}

TEST(HostileText, NamesShowLiterallyEverywhere)
{
    const char* const names[] = {
        "<img src=\"/dev/zero\">",
        "<b>ПЕКАРНЯ</b> «КОЛОСОК»",
        "АПТЕКА &amp; <i>ОПТИКА",
        "<a href=\"file:///etc/passwd\">ССЫЛКА</a>",
        "<qt><table><tr><td>ТАБЛИЦА",
    };
    TCityCopy city;
    TStubServices services;
    auto form = StartForm(city.ProgramDir(), services);
    TInfoModule& info = *form.Info;
    TModel& model = *form->Model();
    TAppServices real;  // the program's own hint window and message boxes

    // Every name in both lists (each its own object), and each sign layer
    // named after one of them, numbered.
    const auto keyOf = [](std::size_t i) { return TObjectKey{0, 1, 134, 24, 9000 + int32_t(i)}; };
    for (TSearchText* list : {form->ObjectSearch.get(), form->StreetSearch.get()}) {
        list->BeginUpdate();
        for (std::size_t i = 0; i < std::size(names); ++i)
            list->AddItem(Cp(names[i]), MakeObjectData(&model, form->View(), keyOf(i)));
        list->EndUpdate();
    }
    std::vector<TLayerSelector> layers;
    model.GetLayerList(1, layers);
    std::vector<QString> layerNames;
    for (const TLayerSelector& selector : layers) {
        TLayerRec rec{};
        if (model.GetLayerInfo(selector, rec) != 0 || rec.Kind != LayerKindSign) continue;
        const std::size_t n = layerNames.size();
        const std::string renamed = Cp(names[n % std::size(names)]) + " " + std::to_string(n);
        std::memset(rec.Name, 0, sizeof rec.Name);
        std::strncpy(rec.Name, renamed.c_str(), sizeof rec.Name - 1);
        ASSERT_EQ(model.SetLayerInfo(selector, rec), 0) << renamed;
        layerNames.push_back(QString::fromUtf8(" - ") + Cp1251ToQString(renamed));
    }

    for (std::size_t i = 0; i < std::size(names); ++i) {
        const char* name = names[i];
        const QString text = QString::fromUtf8(name);

        // The hint window, and a row's right-click hint.
        real.ShowHint(name, 10, 10, 200);
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w->objectName() == "HintWindow") {
                EXPECT_EQ(w->property("text").toString(), text) << name;
            }
        }
        real.HideHint();
        const int objectRow = RowOf(form->ObjList, name);
        ASSERT_GE(objectRow, 0) << name;
        const QPoint at = form->ObjList->visualItemRect(form->ObjList->item(objectRow)).center();
        services.Hints.clear();
        form->ObjectSearch->ListMouseDown(TMouseButton::Right, at.x(), at.y());
        ASSERT_EQ(services.Hints.size(), 1u) << name;
        EXPECT_EQ(services.Hints[0].Text, name);

        // The main lists' row tooltips.
        const int streetRow = RowOf(form->StreetList, name);
        ASSERT_GE(streetRow, 0) << name;
        EXPECT_EQ(RowTip(form->StreetList, streetRow,
                         [&](int32_t x, int32_t y) { form->StreetListMouseMove(form->StreetList, 0, x, y); }),
                  text);

        // A group window's row tooltip.
        auto group = std::make_shared<TSearchText>(&info, &model, form->View());
        group->Name = Cp("Группа");
        group->AddItem(Cp(name), MakeObjectData(&model, form->View(), keyOf(i)));
        TGroupForm* window = OpenGroupWindow(info, group, nullptr);
        EXPECT_EQ(RowTip(window->ListBox1, 0, [&](int32_t x, int32_t y) { window->ListBox1MouseMove(x, y); }), text)
            << name;
        window->close();

        // A banner's name.
        ASSERT_FALSE(form->BannerList.Records.empty());
        for (TTarnData& banner : form->BannerList.Records) banner.Name = Cp(name);
        form->Timer1Timer();
        EXPECT_EQ(AsShown(form->BannerViewer->toolTip()), text);

        // The status bar and a message box.
        form->ApplicationHint(text);
        EXPECT_EQ(form->StatusBar1->currentMessage(), text);
        TModalDriver box([&](QWidget& w, int) {
            auto& message = static_cast<QMessageBox&>(w);
            EXPECT_EQ(message.textFormat(), Qt::PlainText) << name;
            EXPECT_TRUE(message.windowFlags() & Qt::WindowStaysOnTopHint) << "above the cards and groups";
            EXPECT_EQ(message.text(), QString::fromUtf8("Не могу найти файл: ") + text);
            message.close();
        });
        real.ShowError(std::string("Не могу найти файл: ") + name);
        EXPECT_EQ(box.Seen, 1);
    }

    // Layers' names in the legend.
    TLegendForm legend(info);
    ASSERT_EQ(legend.RowList.size(), layerNames.size());
    for (std::size_t r = 0; r < layerNames.size(); ++r) {
        EXPECT_EQ(legend.RowList[r].Label->textFormat(), Qt::PlainText);
        EXPECT_EQ(legend.RowList[r].Label->text(), layerNames[r]);
    }
    EXPECT_TRUE(services.Errors.empty());
}

} // namespace
} // namespace tarn::test
