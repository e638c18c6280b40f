#pragma once
// A LinkHost for tests and benchmarks: records every status text, message box and
// not-responding box in order, and drives Timer1Tick from its own timer so that tick-based
// waits can run at any pace (the real window ticks every 100 ms).

#include "link_host.h"
#include "module1.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <ostream>

// Readable Qt texts in test failure messages.
inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}
inline void PrintTo(const QStringList& l, std::ostream* os)
{
    *os << '[' << l.join(QStringLiteral(" | ")).toStdString() << ']';
}
inline void PrintTo(const QByteArray& b, std::ostream* os)
{
    *os << b.size() << " bytes: " << b.left(64).toHex(' ').toStdString() << (b.size() > 64 ? " ..." : "");
}

class FakeLinkHost : public LinkHost {
public:
    struct Box {
        QString text;
        MessageIcon icon;
    };

    explicit FakeLinkHost(int tickMs = 100)
    {
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.setInterval(tickMs);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            if (WaitTicks > 0)
                ++ticksInWaits;
            Timer1Tick();
        });
        timer_.start();
    }

    // A faster clock once the target has been brought up at the normal pace.
    void SetTickMs(int ms) { timer_.setInterval(ms); }

    void SetStatusText(int panel, const QString& text) override
    {
        if (panel < 1 || panel > 3)
            return;
        panels_[panel - 1] = text;
        if (onStatus)
            onStatus(panel, text);
        if (!recordStatus)
            return;
        history[panel - 1].append(text);
        events.append(QStringLiteral("status%1:%2").arg(panel).arg(text));
    }
    QString StatusText(int panel) const override
    {
        return panel >= 1 && panel <= 3 ? panels_[panel - 1] : QString();
    }
    void ShowMessage(const QString& text, MessageIcon icon) override
    {
        boxes.append({text, icon});
        events.append(QStringLiteral("box:") + text);
        if (onMessage)
            onMessage(text);
    }
    void NotRespondingBox() override
    {
        ++notResponding;
        events.append(QStringLiteral("not-responding"));
    }
    int SelectedMemory() const override { return memory; }
    void DoEvents() override
    {
        ++doEvents;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }

    QStringList BoxTexts() const
    {
        QStringList out;
        for (const Box& b : boxes)
            out.append(b.text);
        return out;
    }

    int memory = 1;
    bool recordStatus = true;   // keep every status text (benchmarks turn it off)
    QStringList history[3];     // every text each panel was given, in order
    QStringList events;         // status texts, boxes and not-responding boxes, in order
    QList<Box> boxes;
    int notResponding = 0;
    int ticksInWaits = 0;       // ticks that came while a wait was under way
    long doEvents = 0;
    std::function<void(const QString&)> onMessage;
    std::function<void(int, const QString&)> onStatus;

private:
    QString panels_[3];
    QTimer timer_;
};
