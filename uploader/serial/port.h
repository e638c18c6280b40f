#pragma once
// The uploader's serial port driver: one port state per process and a few free functions over it.
// Port number n opens the device named by the environment variable COM<n> when it is set, else
// /dev/ttyS<n-1>. Line format is always 8 data bits, no parity, one stop bit, no flow control.

#include <cstdint>
#include <memory>

#include <QString>

class QSerialPort;

struct PortState {
    std::unique_ptr<QSerialPort> handle;  // the open port, or empty
    uint8_t portNumber = 1;               // n of COMn; only the low 8 bits of a stored number
    uint32_t baudRate = 9600;
};

extern PortState portState;

int InitPort();                                            // 1 on success, -1 on failure
int OpenPort();                                            // non-zero when open and configured
int SetupPort();                                           // non-zero when the line settings took
unsigned ReadPort(unsigned char* buffer, unsigned maxCount);  // never waits; 0 when nothing or no port
int WritePort(const unsigned char* buffer, unsigned count);   // always 1; harmless without a port
void ClosePort();                                          // drops DTR and closes; nothing without a port

// Blocks until received bytes are waiting, timeoutMs passes, or at once when no port is open.
// Dispatches no window messages. Returns true when bytes are waiting.
bool WaitForPortData(int timeoutMs);

// The name of port n as the settings show it ("COM4") and the device it opens: the environment
// variable of that name when set, else /dev/ttyS<n-1>.
QString PortName(uint8_t portNumber);
QString PortDevicePath(uint8_t portNumber);
