#pragma once
// The text window: a read-only text about an object with a button that
// shows the object on the main map. Made once by the search lists and
// reused, held by the shared services; the search issue fills it.
#include "model/ObjKey.h"

#include <QWidget>

namespace tarn {

class TInfoModule;
class TModel;
class TView;

class TInfoForm : public QWidget {
public:
    explicit TInfoForm(TInfoModule& info, QWidget* parent = nullptr)
        : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint), Info(info)
    {
        setObjectName("InfoForm");
        setWindowTitle(QString::fromUtf8("Информация"));
    }

    TInfoModule& Info;
    bool HasObject = false;  // the text belongs to a map object
    TObjectKey Key;
    TModel* Model = nullptr;
    TView* View = nullptr;
};

} // namespace tarn
