#include "Legend_f.h"

#include "app/common/ControlHooks.h"
#include "app/common/DialogButtons.h"
#include "app/common/FormPlacement.h"
#include "app/common/Info_mdl.h"
#include "app/common/TSPanel.h"
#include "data/FillRec.h"
#include "data/LoadDLL.h"
#include "model/Models.h"
#include "platform/Cp1251Qt.h"

#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

#include <cmath>

namespace tarn {

namespace {

constexpr int32_t RowHeight = 100;
constexpr int32_t SampleLeft = 10;
constexpr int32_t LabelLeft = 130;
constexpr int32_t ButtonPanelHeight = 41;

} // namespace

int32_t LegendSignSize(int32_t getSize)
{
    // Single precision, as the sizes were always worked out.
    const float size = 20.0f / float(DllSizeDivisor(getSize)) * 100.0f;
    return int32_t(std::nearbyint(size));
}

void PaintSignSample(TDeviceContext& dc, const TRect& r, const TDynLib* library, int32_t number, int32_t size)
{
    TGdiRef<TBrush> white = TBrush::CreateSolid(Rgb(255, 255, 255));
    dc.FillRect(r, white.get());
    const int32_t cx = (r.Right - r.Left) / 2, cy = (r.Bottom - r.Top) / 2;
    TGdiRef<TBrush> black = TBrush::CreateSolid(Rgb(0, 0, 0));
    TGdiRef<TBrush> before = dc.SelectBrush(black.get());
    if (TSymbolProc proc = GetSignProc(library, number)) {
        TSignParams rec{};
        FillSignParams(rec, &dc, r.Left + cx, r.Top + cy, 0, size, false);
        proc(1, &rec);
    }
    dc.SelectBrush(before.get());
}

TLegendForm::TLegendForm(TInfoModule& info) : Info(info)
{
    setObjectName("LegendForm");
    setWindowTitle(QString::fromUtf8("Легенда"));
    resize(360, 480);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    ScrollBox1 = new QScrollArea;
    ScrollBox1->setObjectName("ScrollBox1");
    ScrollBox1->setWidgetResizable(false);
    Rows = new QWidget;
    Rows->setObjectName("Rows");
    Rows->setAutoFillBackground(true);
    ScrollBox1->setWidget(Rows);
    column->addWidget(ScrollBox1, 1);
    const TButtonRow row = MakeButtonRow(*this, QString(), QString::fromUtf8("Закрыть"));
    Panel1 = row.Panel1;
    Panel1->setFixedHeight(ButtonPanelHeight);
    Panel2 = row.Panel2;
    BitBtn1 = row.Cancel;
    column->addWidget(Panel1);

    FormPlacement1 = new TFormPlacement(*this, info, "LegendForm");
    TModel* model = info.MainForm ? info.MainForm->Model() : nullptr;
    if (!model) return;
    if (LoadDrawDll(model->LibraryName.c_str(), model->ProjectDir(), DllHandle))
        SignSize = DllHandle.Symbol("GETSIZE") ? LegendSignSize(GetDllSize(&DllHandle)) : 100;
    BuildRows(*model);
}

TLegendForm::~TLegendForm()
{
    // The samples' procedures live in the library: the rows go first.
    delete ScrollBox1;
    RowList.clear();
}

void TLegendForm::BuildRows(TModel& model)
{
    std::vector<TLayerSelector> layers;
    model.GetLayerList(1, layers);
    int32_t row = 0, width = 0;
    for (const TLayerSelector& selector : layers) {
        TLayerRec rec{};
        if (model.GetLayerInfo(selector, rec) != 0 || rec.Kind != LayerKindSign) continue;
        auto* box = new TTessaraPanel(Rows);
        box->setGeometry(SampleLeft, row * RowHeight + 10, 100, 100);
        SetTag(box, rec.Style3);
        box->OnPaint = [this](TTessaraPanel& b) { PaintRow(b); };
        auto* label = new QLabel(QString::fromUtf8(" - ") + Cp1251ToQString(rec.Name), Rows);
        label->setTextFormat(Qt::PlainText);  // a layer's name as it stands
        label->adjustSize();
        label->move(LabelLeft, (row + 1) * RowHeight - 40);
        width = std::max(width, LabelLeft + label->width());
        RowList.push_back({box, label});
        ++row;
    }
    Rows->resize(std::max(width + 10, 200), row * RowHeight + 20);
}

void TLegendForm::PaintRow(TTessaraPanel& box)
{
    TWindowSurface& surface = box.Surface();
    TDeviceContext* dc = surface.GetDC();
    PaintSignSample(*dc, surface.ClientRect(), DllHandle.IsOpen() ? &DllHandle : nullptr, TagOf(&box), SignSize);
    surface.ReleaseDC(dc);
}

} // namespace tarn
