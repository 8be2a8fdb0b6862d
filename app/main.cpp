// The city information system: the loading window, then the main window.
#include "app/Program.h"
#include "app/common/AppServices.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    tarn::TAppServices services;
    return tarn::RunProgram(tarn::ExecutableDir(), tarn::ExecutableName(), services);
}
