// Converts captured pictures to the encoded size and to YUV 4:2:0.
#pragma once

#include "video/column_scalers.h"
#include "video/picture_pool.h"

extern "C" {
#include <libavutil/frame.h>
#include <libswscale/swscale.h>
}

#include <memory>

namespace pixpipe {

class FrameScaler {
public:
    FrameScaler(int width, int height);
    ~FrameScaler();
    FrameScaler(const FrameScaler &) = delete;
    FrameScaler &operator=(const FrameScaler &) = delete;

    // The frame for the encoder from a captured picture, converted with
    // bicubic filtering. A picture byte for byte the same as the last one (a
    // still screen) gives the last conversion again, sharing its buffer:
    // converted pictures are never written after conversion. Any other gets
    // a new frame with a buffer of its own from the pool, so that frames
    // waiting for the encoder never share a picture that is being written.
    // Only what changed since the last picture is converted again: the
    // changed bands, and of those only the columns over the change where the
    // scale allows, unless more than two thirds of the picture changed; the
    // rest is copied from the last conversion, and the result equals a whole
    // conversion. Returns nullptr on failure.
    AVFrame *convert(const AVFrame *picture);
    // The last conversion again, sharing its buffer; nullptr before the first.
    AVFrame *repeatLast() const;

private:
    bool prepareFor(const AVFrame *picture);
    int convertInto(AVFrame *frame, const AVFrame *picture, bool &unchanged);
    void forgetLast();

    int m_width;
    int m_height;
    PicturePool m_pool;
    SwsContext *m_context = nullptr;
    std::unique_ptr<ColumnScalers> m_columns;
    // The source the contexts were made for.
    int m_sourceWidth = 0;
    int m_sourceHeight = 0;
    int m_sourceFormat = AV_PIX_FMT_NONE;
    int m_sliceAlignment = 1;
    int m_bandRows = 0;
    // The last picture converted and its conversion, which the next picture
    // is compared with and copied from.
    AVFrame *m_lastPicture = nullptr;
    AVFrame *m_lastOutput = nullptr;
    bool m_failureLogged = false;
};

} // namespace pixpipe
