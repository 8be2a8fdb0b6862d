#pragma once
// The information window ("Информация"): a rich-text card with web links
// that open in the browser, and a button that shows the card's object on
// the map. Made at start-up and kept to the program's end; a caller loads
// the text, sets HasObject and Key, and shows it. Its place is kept in
// "tarn.ini".
#include "model/ObjKey.h"

#include <QWidget>

#include <string>
#include <string_view>

class QPushButton;
class QTextBrowser;
class QUrl;

namespace tarn {

class TFormPlacement;
class TInfoModule;

class TInformationForm : public QWidget {
public:
    explicit TInformationForm(TInfoModule& info);
    ~TInformationForm() override;

    TInfoModule& Info;
    std::string ProgramDir;
    bool HasObject = false;  // the card belongs to a map object
    TObjectKey Key;

    QWidget* Panel1;       // shown only with an object
    QPushButton* BitBtn1;  // "Показать на карте"
    QTextBrowser* RichEdit1;

    // Replaces the text by the rich text (".RTF" bytes); web and mail
    // addresses in it become links. Throws on bytes that are no rich text,
    // leaving the window empty.
    void LoadRichText(std::string_view rtf, const std::string& source);
    // The object alone highlighted in the middle of the map, at the scale
    // the zoom to it gives.
    void BitBtn1Click();
    // A link clicked: a web or mail address goes to the shell service, as
    // an address; nothing else is opened.
    void RichEdit1URLClick(const QUrl& url);

    TFormPlacement* FormPlacement1;  // the window's place in "tarn.ini"

protected:
    void showEvent(QShowEvent* e) override;
};

} // namespace tarn
