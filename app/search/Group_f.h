#pragma once
// A group window: one group of the object list in a window of its own,
// with the main lists' incremental search (an upper-case edit, a "show"
// button, a list whose hint is the full text of the row under the mouse).
// Its creator hands it the group's list; the window binds its controls to
// it when shown. Closing writes its place into the position file and frees
// the window.
#include "model/Hooks.h"

#include <QWidget>

#include <cstdint>
#include <memory>
#include <vector>

class QFrame;
class QLineEdit;
class QListWidget;
class QToolButton;

namespace tarn {

class TIniFile;
class TInfoModule;
class TSearchText;

class TGroupForm : public QWidget {
public:
    // Takes its place from the position file.
    explicit TGroupForm(TInfoModule& info, QWidget* parent = nullptr);
    ~TGroupForm() override;

    TInfoModule& Info;
    QWidget* Panel1;
    QLineEdit* Edit1;  // upper case
    QToolButton* ShowBtn;
    QFrame* Panel2;
    QListWidget* ListBox1;
    std::shared_ptr<TIniFile> IniFile;  // the position file
    std::weak_ptr<TSearchText> SearchList;

    // Binds the list box, the edit and the button to SearchList.
    void FormShow();
    void ListBox1MouseMove(int32_t x, int32_t y);

protected:
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

private:
    std::vector<THookToken> Hooks;
};

// Opens a group window on the list (its list box drawn as styleFrom's), or
// brings forward the one open on it already.
TGroupForm* OpenGroupWindow(TInfoModule& info, const std::shared_ptr<TSearchText>& list,
                            const QListWidget* styleFrom);

} // namespace tarn
