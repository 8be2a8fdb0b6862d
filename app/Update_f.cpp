#include "Update_f.h"

namespace tarn {

TUpdateForm::TUpdateForm(TInfoModule& info) : Info(info)
{
    setObjectName("UpdateForm");
    setWindowTitle(QString::fromUtf8("Обновление"));
    // Always on top, client 336 x 396.
    setWindowFlags(Qt::Window | Qt::WindowStaysOnTopHint);
    resize(336, 396);
}

} // namespace tarn
