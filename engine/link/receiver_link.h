// The two TCP links to the receiver: opening them and reading the receiver's
// messages from the control link.
#pragma once

#include "lifecycle/cast_context.h"
#include "link/message_framing.h"

#include <cstdint>
#include <vector>

namespace pixpipe {

// Opens a new control link to m_ip:m_port and stores it in m_nsock at once
// (before connecting). The socket it replaces is shut down so that blocked
// calls on it return, and closed later. The connect gives up after 3 s, or
// at once when the cast stops. Returns 1 when connected, else -1; an
// unconnected socket stays in the field, and sends on it fail at once.
int reconnect(CastContext *cast);

// The same for the audio link on m_port + 1 and m_audioSock.
int audioReconnect(CastContext *cast);

// The start's connects: the audio link, then the control link, both under
// way at once under one short deadline, so that a silent receiver holds the
// start for well under a second. The results show in the socket fields.
void openBothLinks(CastContext *cast);

// The receive size of one body read.
constexpr size_t kBodyReadChunk = 1200;

// Reads one receiver message from m_nsock. Returns the body bytes read (the
// body may be shorter than header->length when the cast stopped meanwhile);
// -1 without a header holder, when the cast stopped while the header was
// read, or for a negative length other than -2; -2 when the link failed or
// closed or the header broke a limit. On -1 and -2 body is left empty.
int recvMessage(CastContext *cast, MessageHeader *header, std::vector<uint8_t> *body);

} // namespace pixpipe
