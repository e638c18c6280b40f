#pragma once
// A pseudo-terminal standing in for the cable: the test holds the master side and both file
// descriptors, the driver opens the slave device by name.

#include <QByteArray>
#include <QString>

#include <cstdint>

class PtyPeer {
public:
    PtyPeer();
    ~PtyPeer();
    PtyPeer(const PtyPeer&) = delete;
    PtyPeer& operator=(const PtyPeer&) = delete;

    bool ok() const { return master_ >= 0 && slave_ >= 0; }
    QString slavePath() const { return slavePath_; }
    int slaveFd() const { return slave_; }

    void send(const QByteArray& bytes);            // master -> driver
    QByteArray receive(int count, int timeoutMs);  // driver -> master, waits for count bytes
    void closeMaster();

private:
    int master_ = -1;
    int slave_ = -1;
    QString slavePath_;
};

// The output speed of the slave in bits per second, read with the kernel's arbitrary-rate call.
uint32_t SlaveBaudRate(int slaveFd);
