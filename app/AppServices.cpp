#include "AppServices.h"

#include <QApplication>
#include <QMessageBox>

namespace tarn {

const char* const ApplicationTitle = "Информационная система Tarn";

void TAppServices::ShowError(const std::string& message)
{
    QMessageBox box(QMessageBox::Critical, QString::fromUtf8(ApplicationTitle), QString::fromStdString(message),
                    QMessageBox::Ok);
    box.exec();
}

bool TAppServices::Confirm(const std::string& message)
{
    QMessageBox box(QMessageBox::Question, QString::fromUtf8(ApplicationTitle), QString::fromStdString(message),
                    QMessageBox::Ok | QMessageBox::Cancel);
    return box.exec() == QMessageBox::Ok;
}

void TAppServices::SetBusy(bool busy)
{
    if (busy) QApplication::setOverrideCursor(Qt::WaitCursor);
    else QApplication::restoreOverrideCursor();
}

int TAppServices::RunLoop(TMainForm&) { return QApplication::exec(); }

} // namespace tarn
