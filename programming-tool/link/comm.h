#pragma once
// The serial-port component of the main window: the properties the link routines rely on, over
// Qt SerialPort. Port number n opens the device named by the environment variable COM<n> when it
// is set, else /dev/ttyS<n-1>.

#include <QByteArray>
#include <QObject>
#include <QString>
#include <chrono>
#include <memory>

class QSerialPort;

class Comm : public QObject {
    Q_OBJECT
public:
    explicit Comm(QObject* parent = nullptr);
    ~Comm() override;  // closes the port

    // Settings applied when the port opens.
    int CommPort = 1;
    bool DTREnable = false;
    int Handshaking = 0;          // 0 none
    int InBufferSize = 2048;
    int OutBufferSize = 2048;
    bool NullDiscard = false;
    QString Settings = QStringLiteral("38400,N,8,1");

    bool PortOpen() const;
    // Opens (true) or closes (false) the port. Returns false when the port cannot be opened or
    // the settings are invalid; LastError() then holds the reason, including the OS reason.
    bool SetPortOpen(bool open);
    QString LastError() const;

    // Queues the bytes for sending and returns without waiting; no byte is lost, however long
    // the burst. Returns false (and sends nothing) when the port is not open.
    bool Output(const QByteArray& bytes);
    // Every received byte not yet read (possibly none), removed from the receive buffer.
    QByteArray Input();
    // Number of received bytes not yet read.
    int InBufferCount();
    // Milliseconds until the bytes queued so far have crossed the line at the set baud rate
    // (an estimate from the moment each was queued); 0 when the line is idle or the port closed.
    // The port takes every burst at once, so a wait for the target's answer to a long burst
    // starts its time-out only after this.
    qint64 LineBusyMs() const;

    // The device that port number n names on this machine.
    static QString DeviceForPort(int n);
    // Whether a settings text reads as baud rate, parity letter (N, O, E, M, S in either case),
    // data bits (5 to 8) and stop bits (1, 1.5, 2); why not otherwise. The device may still
    // refuse a valid line setting when the port opens.
    static bool ValidSettings(const QString& text, QString* why = nullptr);

private:
    void Pull();            // moves what Qt has received into the receive buffer
    void OnError(int error);

    std::unique_ptr<QSerialPort> port_;
    QByteArray rx_;         // received bytes not yet read
    bool broken_ = false;   // the device failed; the port counts as closed
    qint64 charTimeNs_ = 0; // one character on the line at the set line settings
    std::chrono::steady_clock::time_point lineFreeAt_{};  // when the queued bytes are out
    QString lastError_;
};
