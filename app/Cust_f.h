#pragma once
// The information card window: the file attached to an object of the
// object database (text, rich text, a page, a picture, an animation or a
// zip site) with a button that shows the object on the map. One at a
// time, held by the shared services; the cards' issue fills it.
#include <QWidget>

namespace tarn {

class TInfoModule;

class TCustomInfoForm : public QWidget {
public:
    explicit TCustomInfoForm(TInfoModule& info, QWidget* parent = nullptr)
        : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint), Info(info)
    {
        setObjectName("CustomInfoForm");
        setWindowTitle(QString::fromUtf8("Информация"));
    }

    TInfoModule& Info;
};

} // namespace tarn
