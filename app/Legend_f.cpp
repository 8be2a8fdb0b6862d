#include "Legend_f.h"

namespace tarn {

TLegendForm::TLegendForm(TInfoModule& info) : Info(info)
{
    setObjectName("LegendForm");
    setWindowTitle(QString::fromUtf8("Легенда"));
    resize(360, 480);
}

} // namespace tarn
