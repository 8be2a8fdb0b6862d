#pragma once
// The information card window: the file attached to an object of the
// object database (text, rich text, a page, a picture, an animation or a
// zip site) with a button that shows the object on the map. One at a
// time, held by the shared services; the cards' issue fills it.
#include <QString>
#include <QWidget>

namespace tarn {

class TInfoModule;
struct TCardRec;

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

// Opens the card in the one card window: the window open now is freed and
// a new one shows the card.
void OpenCardWindow(TInfoModule& info, const TCardRec& card);
// The card's plain text, read without a window on the screen and without
// touching the card shown now; empty when the card has none or cannot be read.
QString CardPlainText(TInfoModule& info, const TCardRec& card);

} // namespace tarn
