#include "video/same_picture.h"

extern "C" {
#include <libavutil/imgutils.h>
#include <libavutil/pixdesc.h>
}

#include <cstring>

namespace pixpipe {

bool samePicture(const AVFrame *a, const AVFrame *b) {
    if (a->width != b->width || a->height != b->height || a->format != b->format)
        return false;
    const auto format = static_cast<AVPixelFormat>(a->format);
    const AVPixFmtDescriptor *descriptor = av_pix_fmt_desc_get(format);
    const int planes = av_pix_fmt_count_planes(format);
    if (!descriptor || planes <= 0 || (descriptor->flags & AV_PIX_FMT_FLAG_PAL))
        return false;
    for (int plane = 0; plane < planes; ++plane) {
        const int rowBytes = av_image_get_linesize(format, a->width, plane);
        const bool chroma = plane == 1 || plane == 2;
        const int rows = chroma ? AV_CEIL_RSHIFT(a->height, descriptor->log2_chroma_h) : a->height;
        if (rowBytes <= 0 || !a->data[plane] || !b->data[plane])
            return false;
        for (int row = 0; row < rows; ++row) {
            if (std::memcmp(a->data[plane] + static_cast<ptrdiff_t>(row) * a->linesize[plane],
                            b->data[plane] + static_cast<ptrdiff_t>(row) * b->linesize[plane],
                            static_cast<size_t>(rowBytes)) != 0)
                return false;
        }
    }
    return true;
}

} // namespace pixpipe
