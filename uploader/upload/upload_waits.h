#pragma once
// The real clock and the real waits of the upload, for the window (and the benchmark) to put
// behind UploadHost. None of them spins: they block on the event queue or on the port.

#include <QtGlobal>

// Milliseconds since the program started (the first call, which main makes at once).
qint64 UploadClockMs();

// Dispatches every pending window message. With wakeAt >= 0 and nothing pending, first blocks
// until a window message or port data arrives or UploadClockMs() reaches wakeAt.
void DispatchWindowMessages(qint64 wakeAt);

// Blocks until received bytes are waiting on the port or UploadClockMs() reaches deadline,
// dispatching no window messages. Without an open port it sleeps until the deadline.
void WaitForPortUntil(qint64 deadline);
