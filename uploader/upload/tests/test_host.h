#pragma once
// UploadHost for tests: records what the upload shows, and runs on the real clock or on a fake
// one that jumps to each deadline once the simulated controller has had a moment to answer.

#include "port.h"
#include "upload.h"
#include "upload_host.h"
#include "upload_waits.h"

#include <QCoreApplication>
#include <QStringList>

#include <algorithm>
#include <functional>

class TestHost : public UploadHost {
public:
    // Real time the fake clock grants the simulator before a wait counts as timed out; a
    // dispatching wait grants less, as it comes round again every tick.
    static constexpr int kRealSliceMs = 200;
    static constexpr int kDispatchSliceMs = 20;
    // Smallest step of the fake clock per blocking dispatch: keeps 50 s waits short.
    static constexpr qint64 kFakeStepMs = 1000;

    bool fakeClock = false;
    qint64 fakeNow = 0;

    QStringList statuses;
    QStringList messages;
    bool buttonsEnabled = true;
    int progressMaximum = 0;
    int progressPosition = 0;
    int progressSteps = 0;
    // Runs at every dispatch, after pending events: lets a test press Cancel at a chosen step.
    std::function<void()> onDispatch;

    void SetStatusText(const QString& text) override { statuses << text; }
    void SetProgressRange(int, int maximum) override { progressMaximum = maximum; }
    void SetProgressPosition(int position) override { progressPosition = position; }
    void SetProgressStepSize(int) override {}
    void StepProgress() override { ++progressSteps; }
    void EnableUploadButtons(bool enable) override { buttonsEnabled = enable; }
    void ShowMessage(const QString& text) override { messages << text; }

    // Runs at every reading of the clock: lets a test play a slow machine or line.
    std::function<void()> onNow;

    qint64 Now() override
    {
        if (onNow)
            onNow();
        return fakeClock ? fakeNow : UploadClockMs();
    }

    void DispatchMessages(qint64 wakeAt) override
    {
        QCoreApplication::processEvents();
        if (onDispatch)
            onDispatch();
        if (wakeAt == kNoWait)
            return;
        if (!fakeClock) {
            DispatchWindowMessages(wakeAt);
            return;
        }
        WaitForPortData(kDispatchSliceMs);
        fakeNow = std::max(wakeAt, fakeNow + kFakeStepMs);
    }

    void WaitForData(qint64 deadline) override
    {
        if (!fakeClock) {
            WaitForPortUntil(deadline);
            return;
        }
        if (!WaitForPortData(kRealSliceMs))
            fakeNow = std::max(fakeNow, deadline);
    }
};
