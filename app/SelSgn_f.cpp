#include "SelSgn_f.h"

namespace tarn {

TSelectSignForm::TSelectSignForm(TInfoModule& info) : Info(info)
{
    setObjectName("SelectSignForm");
    setWindowTitle(QString::fromUtf8("Выбор вида значка"));
    setMinimumSize(230, 225);
}

} // namespace tarn
