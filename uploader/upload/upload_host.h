#pragma once
// What the upload needs from its window: the status text, the progress bar, the three buttons,
// message boxes, dispatching of pending window messages, the millisecond clock and a blocking
// wait for the port. UploadDialog implements it; tests implement it with an injected clock.

#include <QString>
#include <QtGlobal>

class UploadHost {
public:
    // DispatchMessages without blocking.
    static constexpr qint64 kNoWait = -1;

    virtual ~UploadHost() = default;

    virtual void SetStatusText(const QString& text) = 0;
    virtual void SetProgressRange(int minimum, int maximum) = 0;
    virtual void SetProgressPosition(int position) = 0;
    virtual void SetProgressStepSize(int step) = 0;
    virtual void StepProgress() = 0;
    // Choose HexFile, START and COM Settings together.
    virtual void EnableUploadButtons(bool enable) = 0;
    // Modal box: warning icon, OK, titled with the program's name; returns when it is closed.
    virtual void ShowMessage(const QString& text) = 0;

    // Milliseconds since the program started.
    virtual qint64 Now() = 0;
    // Dispatches every pending window message. With wakeAt other than kNoWait and nothing
    // pending, first blocks until a window message or port data arrives or Now() reaches wakeAt.
    virtual void DispatchMessages(qint64 wakeAt) = 0;
    // Blocks until received bytes are waiting on the port or Now() reaches deadline; dispatches
    // no window messages.
    virtual void WaitForData(qint64 deadline) = 0;
};
