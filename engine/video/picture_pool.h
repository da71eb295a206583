// Picture buffers for the converted YUV 4:2:0 pictures, reused instead of
// allocated anew for every frame.
#pragma once

extern "C" {
#include <libavutil/buffer.h>
#include <libavutil/frame.h>
}

namespace pixpipe {

class PicturePool {
public:
    PicturePool(int width, int height);
    // Frames still holding a picture keep their buffers valid; the pool's
    // memory goes when the last of them is freed.
    ~PicturePool();
    PicturePool(const PicturePool &) = delete;
    PicturePool &operator=(const PicturePool &) = delete;

    // A new frame of the pool's size whose buffer no other frame holds: a
    // buffer comes back to the pool only when every frame referring to it is
    // freed. Returns nullptr when out of memory.
    AVFrame *newFrame();

private:
    int m_width;
    int m_height;
    int m_bufferSize;
    AVBufferPool *m_pool = nullptr;
};

} // namespace pixpipe
