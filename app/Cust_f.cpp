#include "Cust_f.h"

#include "app/Info_mdl.h"
#include "app/TarnData.h"
#include "platform/Cp1251Qt.h"

namespace tarn {

// Until the card window shows every kind of file, a card opens as an empty
// window and only plain text cards give their text.
void OpenCardWindow(TInfoModule& info, const TCardRec&)
{
    info.CardForm.reset();
    info.CardForm = std::make_unique<TCustomInfoForm>(info);
    info.CardForm->show();
}

QString CardPlainText(TInfoModule&, const TCardRec& card)
{
    if (card.Archive || card.FileType.size() != 3) return {};
    const std::string type = card.FileType;
    if ((type[0] | 0x20) != 't' || (type[1] | 0x20) != 'x' || (type[2] | 0x20) != 't') return {};
    try {
        return Cp1251ToQString(ReadCardData(card));
    } catch (const std::exception&) {
        return {};
    }
}

} // namespace tarn
