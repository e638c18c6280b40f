// Bramlet, the controller flash programming tool.
#include "frm_main.h"

#include <QApplication>
#include <QFileInfo>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    // The program's title and the settings store are named after the executable.
    QApplication::setApplicationName(QFileInfo(QApplication::applicationFilePath()).completeBaseName());

    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();

    frmMain window;
    window.Load(arguments.join(QLatin1Char(' ')));
    if (window.IsShutDown())
        return 0;
    return QApplication::exec();
}
