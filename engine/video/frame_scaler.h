// Converts captured pictures to the encoded size and to YUV 4:2:0.
#pragma once

#include "video/picture_pool.h"

extern "C" {
#include <libavutil/frame.h>
#include <libswscale/swscale.h>
}

namespace pixpipe {

class FrameScaler {
public:
    FrameScaler(int width, int height);
    ~FrameScaler();
    FrameScaler(const FrameScaler &) = delete;
    FrameScaler &operator=(const FrameScaler &) = delete;

    // Converts picture with bicubic filtering into a new frame with a buffer
    // of its own from the pool, so that frames waiting for the encoder never
    // share a picture that is being written. Returns nullptr on failure.
    AVFrame *convert(const AVFrame *picture);

private:
    bool prepareFor(const AVFrame *picture);

    int m_width;
    int m_height;
    PicturePool m_pool;
    SwsContext *m_context = nullptr;
    // The source the context was made for.
    int m_sourceWidth = 0;
    int m_sourceHeight = 0;
    int m_sourceFormat = AV_PIX_FMT_NONE;
    bool m_failureLogged = false;
};

} // namespace pixpipe
