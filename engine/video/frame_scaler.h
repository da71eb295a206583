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
    // share a picture that is being written. Only the bands that changed
    // since the last picture converted are converted again, unless more than
    // two thirds of them did; the others are copied from the last
    // conversion, and the result equals a whole conversion. Returns nullptr
    // on failure.
    AVFrame *convert(const AVFrame *picture);

private:
    bool prepareFor(const AVFrame *picture);
    int convertInto(AVFrame *frame, const AVFrame *picture);
    void forgetLast();

    int m_width;
    int m_height;
    PicturePool m_pool;
    SwsContext *m_context = nullptr;
    // The source the context was made for.
    int m_sourceWidth = 0;
    int m_sourceHeight = 0;
    int m_sourceFormat = AV_PIX_FMT_NONE;
    int m_sliceAlignment = 1;
    int m_bandRows = 0;
    // The last picture converted and its conversion, which the bands of the
    // next picture are compared with and copied from.
    AVFrame *m_lastPicture = nullptr;
    AVFrame *m_lastOutput = nullptr;
    bool m_failureLogged = false;
};

} // namespace pixpipe
