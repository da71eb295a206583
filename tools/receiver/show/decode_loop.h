// The body of a decoding thread, shared by the picture and sound decoders.
#pragma once

#include "show/packet_queue.h"

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <utility>

namespace receiver {

// Decodes the queued packets in order until the queue is closed. At the
// first packet of each new cast (a new generation) the decoder restarts and
// newCast runs. A decoding problem is printed as "<what>: <problem>" once per
// kind of problem and cast: a broken stream repeats it. take gets what each
// packet gave, with its generation.
template <typename Decoder, typename NewCast, typename Take>
void decodeQueuedPackets(PacketQueue &packets, Decoder &decoder, const char *what, NewCast newCast,
                         Take take) {
    uint64_t generation = 0;
    std::string lastError;
    while (std::optional<QueuedPacket> packet = packets.pop()) {
        if (packet->generation != generation) {
            generation = packet->generation;
            decoder.restart();
            lastError.clear();
            newCast();
        }
        auto decoded = decoder.decode(packet->bytes.data(), packet->bytes.size());
        if (!decoder.error().empty() && decoder.error() != lastError) {
            lastError = decoder.error();
            std::printf("%s: %s\n", what, lastError.c_str());
            std::fflush(stdout);
        }
        take(std::move(decoded), generation);
    }
}

} // namespace receiver
