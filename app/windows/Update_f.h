#pragma once
// The update places ("Обновление"): where a newer version of the system's
// data can be had, each place able to show itself on the map, the
// information centre, the note on updates and the product's web address.
// Made at start-up and kept to the program's end; the update button shows
// it. Its place is kept in "tarn.ini".
#include "model/Hooks.h"

#include <QWidget>

#include <vector>

class QLabel;
class QScrollArea;

namespace tarn {

class TFormPlacement;
class TInfoModule;

class TUpdateForm : public QWidget {
public:
    explicit TUpdateForm(TInfoModule& info);
    ~TUpdateForm() override;

    TInfoModule& Info;
    QScrollArea* ScrollBox1;
    // The places, their tags the codes of their objects in layer 67,
    // sheet 24, in the order shown.
    QLabel* Label18;
    QLabel* Label14;
    QLabel* Label15;
    QLabel* Label17;
    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* Label20;
    QLabel* Label5;   // the information centre
    QLabel* Label7;   // the note on updates (an object action)
    QLabel* Label10;  // the web address

    // The place of the sender's tag alone highlighted in the middle of the
    // map at 1:2500; a tag of 0 does nothing.
    void Label12Click(QObject* sender);
    // The same for the information centre (1, 11, 5, 811).
    void Label5Click();
    // Runs the action of the tag's object in layer 67, sheet 24 under the
    // busy cursor.
    void Label7Click(QObject* sender);
    // The label's text goes to the shell as a web address.
    void Label10Click(QObject* sender);

    TFormPlacement* FormPlacement1;  // the window's place in "tarn.ini"

private:
    std::vector<THookToken> Hooks;
};

} // namespace tarn
