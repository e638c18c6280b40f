#pragma once
// What the profile windows need from the main window.

#include <QIcon>

class Comm;

class MainWindowLink {
public:
    virtual ~MainWindowLink() = default;
    virtual void FormCaptionUpdate() = 0;  // caption from CurrentProfile.Name
    virtual Comm& CommPort() = 0;          // the port component, for OpenCommPort
    virtual QIcon WindowIcon() const = 0;  // the icon the profile windows take over
    virtual class LinkHost& Host() = 0;    // status and message boxes, for OpenCommPort
};
