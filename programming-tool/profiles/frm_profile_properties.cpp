#include "frm_profile_properties.h"

frmProfileProperties::frmProfileProperties(MainWindowLink& mainWindow, QWidget* parent)
    : QDialog(parent), main_(mainWindow)
{
    setWindowTitle(QStringLiteral("Profile Manager"));
}

frmProfileProperties::~frmProfileProperties() = default;
