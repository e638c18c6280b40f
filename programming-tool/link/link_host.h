#pragma once
// What the link routines need from the window that owns the port. The main window implements it;
// tests and headless front ends implement it too. The routines never touch a widget themselves.

#include <QString>

enum class MessageIcon { None, Exclamation };

class LinkHost {
public:
    virtual ~LinkHost() = default;

    // Status bar panels: 1 the current step, 2 the version text, 3 the percentage sent.
    virtual void SetStatusText(int panel, const QString& text) = 0;
    virtual QString StatusText(int panel) const = 0;

    // Modal message box with an OK button, titled with the program's title. Returns when closed.
    virtual void ShowMessage(const QString& text, MessageIcon icon) = 0;

    // The not-responding box, titled with the main window's caption. Returns when closed.
    virtual void NotRespondingBox() = 0;

    // Target memory chosen by the option buttons: CpuFlash 1, else ExternalFlash 2, else 3.
    virtual int SelectedMemory() const = 0;

    // Let the event loop handle its pending events once. Blocks until at least one event arrives
    // (received data, a timer tick, input), so a wait built on it does not spin.
    virtual void DoEvents() = 0;
};
