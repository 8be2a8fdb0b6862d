#include "AppSupport.h"

#include "../tools/CitySupport.h"
#include "platform/Cp1251.h"

#include <QApplication>
#include <QTest>

#include <filesystem>

namespace tarn::test {

TCityCopy::TCityCopy()
{
    namespace fs = std::filesystem;
    for (const fs::directory_entry& e : fs::directory_iterator(SharedCity().Dir.Path()))
        fs::copy(e.path(), fs::path(Dir.Path()) / e.path().filename(), fs::copy_options::recursive);
}

void SettleWindow(QWidget& window)
{
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
    for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
}

QImage GrabMapPanel(TMainForm& form)
{
    const QImage whole = form.grab().toImage();
    const QRect panel(form.MapPanel->mapTo(&form, QPoint(0, 0)), form.MapPanel->size());
    return whole.copy(panel);
}

TObjectKey DetailSheetHouse(TModel& model, TView& view)
{
    const TRect p = model.ProjectRect();
    EXPECT_EQ(model.ZoomAtPoint(view, {(p.Left + p.Right) / 2, (p.Top + p.Bottom) / 2}, 2500), ResultDone);
    TLayerSelector houses;
    MakeFieldQuery(Utf8ToCp1251("Жилые дома"), -1, houses);
    TLayerRec layer{};
    EXPECT_EQ(model.GetLayerInfo(houses, layer), 0);
    for (int32_t sheet = 30; sheet < 200; ++sheet) {
        const TObjectKey key{0, 1, layer.LayerId, sheet, 1};
        std::vector<uint8_t> b;
        if (model.GetObjectData(&view, 2, key, b) == ResultDone) return key;
    }
    ADD_FAILURE() << "no house on a detail sheet";
    return {};
}

double PaperlessShare(const QImage& image) { return InkShare(image.convertToFormat(QImage::Format_RGB32)); }

std::string SaveAppImage(const QImage& image, const std::string& name) { return SaveImage(image, name); }

} // namespace tarn::test

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
