#pragma once
// A group window: one group of the object list in a window of its own,
// with the main lists' incremental search. Opened by the object list,
// freed when closed; the search issue fills it.
#include <QWidget>

namespace tarn {

class TInfoModule;

class TGroupForm : public QWidget {
public:
    explicit TGroupForm(TInfoModule& info, QWidget* parent = nullptr)
        : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint), Info(info)
    {
        setObjectName("GroupForm");
        setAttribute(Qt::WA_DeleteOnClose);
    }

    TInfoModule& Info;
};

} // namespace tarn
