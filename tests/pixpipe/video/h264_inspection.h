// Decodes an H.264 stream with libavcodec so that tests can check what a
// receiver would see: picture size and picture type of every frame.
#pragma once

#include <cstdint>
#include <vector>

namespace pixpipe {

struct DecodedPicture {
    int width = 0;
    int height = 0;
    bool intra = false;
};

// Decodes the access units in order, one per element; an empty element is
// skipped like an empty message. Returns one entry per decoded picture.
std::vector<DecodedPicture> decodeH264(const std::vector<std::vector<uint8_t>> &accessUnits);

} // namespace pixpipe
