#include "SelSgn_f.h"

#include "app/common/ControlHooks.h"
#include "app/common/DialogButtons.h"
#include "app/common/Info_mdl.h"
#include "app/common/TSPanel.h"
#include "app/windows/Legend_f.h"
#include "model/Models.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace tarn {

namespace {

constexpr int32_t FramePen = 3;
constexpr int32_t FirstUserSign = 37;
constexpr int32_t LastUserSign = 45;

// A red outline with nothing inside; clicks go through it to the sample.
class TFrameShape : public QWidget {
public:
    explicit TFrameShape(QWidget* parent) : QWidget(parent) { setAttribute(Qt::WA_TransparentForMouseEvents); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        const int w = width(), h = height();
        const QColor red(255, 0, 0);
        p.fillRect(0, 0, w, FramePen, red);
        p.fillRect(0, h - FramePen, w, FramePen, red);
        p.fillRect(0, 0, FramePen, h, red);
        p.fillRect(w - FramePen, 0, FramePen, h, red);
    }
};

const TDynLib* Library(const TDynLib& handle) { return handle.IsOpen() ? &handle : nullptr; }

} // namespace

// ---------------------------------------------------------------- TSignPanel

TSignPanel::TSignPanel(QWidget* owner) : QScrollArea(owner)
{
    setObjectName("SignPanel");
    setWidgetResizable(false);
    Cells = new QWidget;
    Cells->setObjectName("Cells");
    setWidget(Cells);
    Frame = new TFrameShape(Cells);
    Frame->setObjectName("Frame");
    Frame->hide();
    SetCellSize(30);
    SetFirstNumber(0);
    SetLastNumber(0);
    SetShowFrame(true);
}

TSignPanel::~TSignPanel()
{
    // The samples paint through the library: they go before it.
    delete takeWidget();
    Boxes.clear();
}

void TSignPanel::SetDllName(const std::string& name, const std::string& folder)
{
    DllName = name;
    Selected = -1;
    SelectedProc = nullptr;
    if (!LoadDrawDll(name.c_str(), folder, DllHandle)) return;
    Build();
    Frame->raise();
    LayOut();
}

void TSignPanel::SetFirstNumber(int32_t number)
{
    FirstNumber = number;
    Build();
    Frame->raise();
    LayOut();
}

void TSignPanel::SetLastNumber(int32_t number)
{
    LastNumber = number;
    Build();
    Frame->raise();
    LayOut();
}

void TSignPanel::SetCellSize(int32_t size)
{
    CellSize = size;
    Frame->resize(size, size);
    LayOut();
}

void TSignPanel::SetShowFrame(bool show)
{
    ShowFrame = show;
    if (!show) Frame->hide();
}

void TSignPanel::Build()
{
    const TDynLib* library = Library(DllHandle);
    int32_t n = FirstNumber >= 1 && FirstNumber <= LastNumber ? FirstNumber : 1;
    std::size_t count = 0;
    if (GetSignProc(library, n)) {
        for (;;) {
            TTessaraPanel* box;
            if (count < Boxes.size()) {
                box = Boxes[count];
            } else {
                box = new TTessaraPanel(Cells);
                box->OnPaint = [this](TTessaraPanel& b) { PaintBoxPaint(b); };
                box->OnMouseUp = [this](TTessaraPanel& b, TMouseButton button, uint32_t, int32_t x, int32_t y) {
                    if (button == TMouseButton::Left && b.rect().contains(x, y)) PaintBoxClick(b);
                };
                Boxes.push_back(box);
            }
            box->setGeometry(10, CellSize * n + 10, CellSize, CellSize);
            box->Surface().Invalidate();
            box->show();
            SetTag(box, n);
            ++count;
            ++n;
            if (FirstNumber < LastNumber && n > LastNumber) break;
            if (!GetSignProc(library, n)) break;
        }
    }
    // A smaller set leaves no samples of the larger one behind.
    while (Boxes.size() > count) {
        delete Boxes.back();
        Boxes.pop_back();
    }
}

void TSignPanel::LayOut()
{
    int32_t x = 0, y = 0, right = 0;
    for (TTessaraPanel* box : Boxes) {
        box->setGeometry(x, y, CellSize, CellSize);
        right = std::max(right, x + CellSize);
        if (x >= width() - 2.5 * CellSize) {
            x = 0;
            y += CellSize;
        } else {
            x += CellSize;
        }
    }
    const int32_t bottom = Boxes.empty() ? 0 : (x == 0 ? y : y + CellSize);
    Cells->resize(std::max(right, 1), std::max(bottom, 1));
    // The frame stays on its sample.
    for (TTessaraPanel* box : Boxes)
        if (TagOf(box) == Selected) Frame->move(box->pos());
}

void TSignPanel::resizeEvent(QResizeEvent* e)
{
    QScrollArea::resizeEvent(e);
    LayOut();
}

void TSignPanel::Select(int32_t number)
{
    Selected = number;
    for (TTessaraPanel* box : Boxes) {
        if (TagOf(box) != number) continue;
        Frame->move(box->pos());
        if (ShowFrame) Frame->show();
        SelectedProc = GetSignProc(Library(DllHandle), number);
        return;
    }
}

void TSignPanel::PaintBoxClick(TTessaraPanel& box)
{
    Frame->move(box.pos());
    if (ShowFrame) Frame->show();
    Select(TagOf(&box));
    if (OnClick) OnClick(&box);
}

void TSignPanel::PaintBoxPaint(TTessaraPanel& box)
{
    TWindowSurface& surface = box.Surface();
    TDeviceContext* dc = surface.GetDC();
    PaintSignSample(*dc, surface.ClientRect(), Library(DllHandle), TagOf(&box), CellSize - 10);
    surface.ReleaseDC(dc);
}

// ---------------------------------------------------------------- TSelectSignForm

TSelectSignForm::TSelectSignForm(TInfoModule& info) : Info(info)
{
    setObjectName("SelectSignForm");
    setWindowTitle(QString::fromUtf8("Выбор вида значка"));
    setMinimumSize(230, 225);
    resize(330, 260);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    auto* top = new QHBoxLayout;
    top->setContentsMargins(0, 0, 0, 0);
    top->setSpacing(0);
    column->addLayout(top, 1);

    auto* frame = new QFrame;
    frame->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    Panel3 = frame;
    Panel3->setObjectName("Panel3");
    Panel3->setFixedWidth(110);
    auto* right = new QVBoxLayout(Panel3);
    right->setContentsMargins(6, 6, 6, 6);
    Label1 = new QLabel(QString::fromUtf8("Размер значка:"));
    Label1->setObjectName("Label1");
    Edit1 = new QSpinBox;
    Edit1->setObjectName("Edit1");
    Edit1->setRange(0, 500);
    Edit1->setSingleStep(5);
    PaintBox1 = new TTessaraPanel;
    PaintBox1->setObjectName("PaintBox1");
    PaintBox1->setMinimumSize(80, 80);
    right->addWidget(Label1);
    right->addWidget(Edit1);
    right->addWidget(PaintBox1, 1);

    const TButtonRow row = MakeButtonRow(*this, QString::fromUtf8("Продолжить"), QString::fromUtf8("Отменить"));
    Panel1 = row.Panel1;
    Panel2 = row.Panel2;
    BitBtn1 = row.Ok;
    BitBtn2 = row.Cancel;
    column->addWidget(Panel1);

    Size = 50;
    Edit1->setValue(50);
    SignPanel = new TSignPanel(this);
    SignPanel->SetFirstNumber(FirstUserSign);
    SignPanel->SetLastNumber(LastUserSign);
    top->addWidget(SignPanel, 1);
    top->addWidget(Panel3);
    if (TModel* model = info.MainForm ? info.MainForm->Model() : nullptr)
        SignPanel->SetDllName(model->LibraryName, model->ProjectDir());
    SignPanel->OnClick = [this](QWidget*) {
        DrawPreview();
        UpdateButtons();
    };
    PaintBox1->OnPaint = [this](TTessaraPanel&) { DrawPreview(); };
    connect(Edit1, &QSpinBox::valueChanged, this, [this] { Edit1Change(); });
    UpdateButtons();
}

void TSelectSignForm::Edit1Change()
{
    Size = Edit1->value();
    DrawPreview();
    UpdateButtons();
}

void TSelectSignForm::DrawPreview()
{
    if (!SignPanel || !SignPanel->SelectedProc) return;
    TWindowSurface& surface = PaintBox1->Surface();
    TDeviceContext* dc = surface.GetDC();
    PaintSignSample(*dc, surface.ClientRect(), Library(SignPanel->DllHandle), SignPanel->Selected, Size - 10);
    surface.ReleaseDC(dc);
}

void TSelectSignForm::UpdateButtons()
{
    BitBtn1->setEnabled(SignPanel && SignPanel->SelectedProc && Size > 0);
}

} // namespace tarn
