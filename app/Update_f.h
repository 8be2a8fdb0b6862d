#pragma once
// The update places: where a newer version of the data can be had, each
// place able to show itself on the map. Made at start-up, shown by the
// update button; the banners' issue fills it.
#include <QWidget>

namespace tarn {

class TInfoModule;

class TUpdateForm : public QWidget {
public:
    explicit TUpdateForm(TInfoModule& info);

    TInfoModule& Info;
};

} // namespace tarn
