// Quorra: the device chooser is the main window; the program ends when it closes.
#include "device_chooser_dialog.h"
#include "settings.h"
#include "upload_waits.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorra"));
    UploadClockMs();  // the upload's clock counts from here

    DeviceChooserDialog chooser;
    LoadStartUpSettings();
    chooser.exec();
    return 0;
}
