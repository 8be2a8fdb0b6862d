#pragma once
// The information card window: the file attached to an object of the
// object database (text, rich text, a page, a picture, an animation or a
// zip site) with a button that shows the object on the map. One at a
// time, held by the shared services.
//
// A card is shown from memory; only an archive is unpacked, into the
// window's own private folder (mode 0700, a unique name, marked as this
// program's), which goes when the window closes or is freed. Nothing is
// written to a shared place and the current directory never changes, so a hidden window that reads a
// card's text leaves the card on the screen as it was.
#include "db/TarnData.h"

#include <QString>
#include <QWidget>

#include <memory>
#include <optional>
#include <string>

class QPushButton;
class QToolButton;

namespace tarn {

class TInfoModule;
class TOwnedTempFolder;
class TUniversalContainer;

class TCustomInfoForm : public QWidget {
public:
    explicit TCustomInfoForm(TInfoModule& info, QWidget* parent = nullptr);
    ~TCustomInfoForm() override;

    TInfoModule& Info;

    // The card to show (the form's tag); set before the window is shown.
    void SetCard(const TCardRec& card) { Card = card; }
    const std::optional<TCardRec>& CardRec() const { return Card; }
    // Reads the card and shows its main file; runs when the window is shown,
    // and without showing it for a card's plain text. Errors are shown
    // through the services unless the window is quiet.
    void FormShow();
    void ShowBtnClick();
    bool Quiet = false;

    // The window's private folder, empty while no archive was unpacked.
    std::string TempFolder() const;

    QToolButton* ShowBtn;
    QPushButton* BackButton;
    QPushButton* FwdButton;
    TUniversalContainer* Container;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    bool ShowArchive(const std::string& bytes);
    void Report(const std::string& message);

    std::optional<TCardRec> Card;
    std::unique_ptr<TOwnedTempFolder> Folder;
};

// Opens the card in the one card window: the window open now is freed and
// a new one shows the card.
void OpenCardWindow(TInfoModule& info, const TCardRec& card);
// The card's plain text, read without a window on the screen and without
// touching the card shown now; empty when the card has none or cannot be read.
QString CardPlainText(TInfoModule& info, const TCardRec& card);

} // namespace tarn
