#include "Opt_f.h"

namespace tarn {

TOptionsForm::TOptionsForm(TInfoModule& info) : Info(info)
{
    setObjectName("OptionsForm");
    setWindowTitle(QString::fromUtf8("Настройка"));
    resize(320, 160);
}

} // namespace tarn
