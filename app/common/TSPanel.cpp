#include "TSPanel.h"

#include <QVBoxLayout>

namespace tarn {

// The surface's events handed on to the panel's owner.
class TTessaraPanel::TSink : public TSurfaceEvents {
public:
    explicit TSink(TTessaraPanel& panel) : Panel(panel) {}
    void OnPaint(TWindowSurface&) override
    {
        if (Panel.OnPaint) Panel.OnPaint(Panel);
    }
    void OnResize(TWindowSurface&) override
    {
        if (Panel.OnResize) Panel.OnResize(Panel);
    }
    void OnMouseDown(TWindowSurface&, TMouseButton b, uint32_t shift, int32_t x, int32_t y) override
    {
        if (Panel.OnMouseDown) Panel.OnMouseDown(Panel, b, shift, x, y);
    }
    void OnMouseUp(TWindowSurface&, TMouseButton b, uint32_t shift, int32_t x, int32_t y) override
    {
        if (Panel.OnMouseUp) Panel.OnMouseUp(Panel, b, shift, x, y);
    }
    void OnMouseMove(TWindowSurface&, uint32_t shift, int32_t x, int32_t y) override
    {
        if (Panel.OnMouseMove) Panel.OnMouseMove(Panel, shift, x, y);
    }

private:
    TTessaraPanel& Panel;
};

TTessaraPanel::TTessaraPanel(QWidget* parent)
    : QWidget(parent), Sink(std::make_unique<TSink>(*this)), Wnd(std::make_unique<TWindowSurface>(width(), height()))
{
    Wnd->SetEvents(Sink.get());
    Inner = Wnd->CreateWidget(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(Inner);
}

TTessaraPanel::~TTessaraPanel()
{
    // Qt frees the surface's widget after this body: by then it must find
    // neither the surface's events nor the surface.
    Wnd->SetEvents(nullptr);
}

} // namespace tarn
