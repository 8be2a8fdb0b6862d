#pragma once
// The navigator: the small overview map of the main window's left column.
// It owns a model and view of its own on a coarse project of the same
// world ("nav.prj"), shows that project whole, and marks the part the main
// view shows: a frame, or a cross when the frame would be too small to
// see. A click centres the main view there at its scale; a double click
// shows the whole map. It follows every redraw of the main view through
// the main model's after-paint hook.
#include "model/Models.h"

#include <QFrame>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace tarn {

// An outline three pixels wide, with nothing inside, over the overview.
class TShape : public QWidget {
public:
    explicit TShape(QWidget* parent);

    std::function<void(TShape&, TMouseButton, uint32_t shift, int32_t x, int32_t y)> OnMouseUp;
    std::function<void(TShape&)> OnDoubleClick;

protected:
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
};

class TNavigator : public QFrame {
public:
    // Fills owner. Throws "Путь не найден: " + path when there is no such
    // file, and the model's input-file error for one it cannot read.
    TNavigator(QWidget* owner, TModel& mainModel, TView& mainView, const std::string& path);
    // Leaves the main model's after-paint hook; frees its own model.
    ~TNavigator() override;
    TNavigator(const TNavigator&) = delete;
    TNavigator& operator=(const TNavigator&) = delete;

    // The main view's visible area in the navigator's pixels (left, top,
    // right, bottom).
    TRect FrameRect{};
    QWidget* InnerPanel;
    QWidget* PaintBox;  // the overview's window: paint and mouse
    TModel& MainModel;
    TView& MainView;
    TShape* FrameShape;
    TShape* CrossShape;  // the cross's second bar; hidden while the frame shows
    std::unique_ptr<TWindowSurface> Wnd;
    std::unique_ptr<TView> OwnView;
    std::unique_ptr<TModel> OwnModel;

    // The main model's after-paint: the frame follows the main view.
    void DrawModel();
    void PaintMap();
    // Keeps the overview's scale: the world shown follows the new size.
    // Until the overview was painted at its real size it is fitted anew.
    void PanelResize();
    // Centres the main view on the point, keeping its scale.
    void PBMouseUp(TMouseButton button, uint32_t shift, int32_t x, int32_t y);
    // The whole map in the main view.
    void PBMouseDblClick();
    // A click on the frame or the cross acts as one on the map under it.
    void ShapeMouseUp(TShape& shape, TMouseButton button, uint32_t shift, int32_t x, int32_t y);

    void UpdateFrame();
    bool FrameBigEnough() const;
    void PlaceShapes();

    // Its place in the left column: the window lets it be no lower than
    // 100 pixels.
    QSize sizeHint() const override { return QSize(200, 150); }
    QSize minimumSizeHint() const override { return QSize(60, 100); }

private:
    class TSink;
    std::unique_ptr<TSink> Sink;
    THookToken AfterPaintToken;
    bool Fitted = false;  // painted at its real size
};

} // namespace tarn
