#pragma once
// The text window ("Информация"): a read-only text about an object with a
// button that shows the object on the main map. Made once by the search
// lists and reused, held by the shared services; closing hides it and
// writes its place into the position file.
#include "model/ObjKey.h"

#include <QWidget>

#include <memory>

class QPlainTextEdit;
class QPushButton;
class QVBoxLayout;

namespace tarn {

class TIniFile;
class TInfoModule;
class TModel;
class TView;
struct TTextItemRec;

class TInfoForm : public QWidget {
public:
    // Takes its place from the position file.
    explicit TInfoForm(TInfoModule& info, QWidget* parent = nullptr);
    ~TInfoForm() override;

    TInfoModule& Info;
    QWidget* Panel1;
    QPushButton* BitBtn1;  // "Показать на карте"
    QPlainTextEdit* Memo1;
    std::shared_ptr<TIniFile> IniFile;  // the position file
    bool HasObject = false;  // the text belongs to a map object
    TObjectKey Key;
    TModel* Model = nullptr;
    TView* View = nullptr;

    // The object alone highlighted in the middle of the map at 1:2500.
    void BitBtn1Click();

protected:
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
};

// The top of the information windows: a column over the whole window
// holding Panel1 with the button "Показать на карте" (BitBtn1).
struct TShowPanel {
    QVBoxLayout* Column;
    QWidget* Panel1;
    QPushButton* BitBtn1;
};
TShowPanel MakeShowPanel(QWidget& window);

// Shows the text in the one text window (made on first use), with the
// button when the text's key names an object (code 0 or more).
void ShowTextWindow(TInfoModule& info, const TTextItemRec& text);

} // namespace tarn
