// cast-receiver --show: the window on the main thread, the receiver's socket
// loop on a thread of its own.
#pragma once

#include "cast_receiver.h"

namespace receiver {

// Runs the window until it is closed or a byte arrives on wakeRead (the
// signal handler's pipe). wakeWrite ends the socket loop when the window
// closes. Returns true when it ended by a signal.
bool runWithWindow(CastReceiver &castReceiver, const ReceiverOptions &options, int wakeRead,
                   int wakeWrite);

} // namespace receiver
