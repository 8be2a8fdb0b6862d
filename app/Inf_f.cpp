#include "Inf_f.h"

#include "app/Info_mdl.h"

namespace tarn {

TInformationForm::TInformationForm(TInfoModule& info) : Info(info)
{
    setObjectName("InformationForm");
    setWindowTitle(QString::fromUtf8("Информация"));
    // Always on top, 436 x 372.
    setWindowFlags(Qt::Window | Qt::WindowStaysOnTopHint);
    resize(436, 372);
    ProgramDir = info.ProgramDir();
}

} // namespace tarn
