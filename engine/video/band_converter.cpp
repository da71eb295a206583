#include "video/band_converter.h"

extern "C" {
#include <libavutil/imgutils.h>
}

#include <cstring>

namespace pixpipe {

namespace {

// Copies rows [first, end) of the luma plane and their chroma rows.
void copyRows(const AVFrame *from, AVFrame *to, int first, int end) {
    if (end <= first)
        return;
    for (int plane = 0; plane < 3; ++plane) {
        const int shift = plane == 0 ? 0 : 1;
        const int planeFirst = first >> shift;
        const int planeEnd = (end + shift) >> shift;
        const int rowBytes = av_image_get_linesize(AV_PIX_FMT_YUV420P, to->width, plane);
        for (int row = planeFirst; row < planeEnd; ++row)
            std::memcpy(to->data[plane] + static_cast<ptrdiff_t>(row) * to->linesize[plane],
                        from->data[plane] + static_cast<ptrdiff_t>(row) * from->linesize[plane],
                        static_cast<size_t>(rowBytes));
    }
}

} // namespace

int convertBands(SwsContext *context, const AVFrame *picture, const AVFrame *lastOutput,
                 AVFrame *output, const std::vector<RowRange> &runs) {
    int unchangedFrom = 0;
    for (const RowRange &run : runs) {
        copyRows(lastOutput, output, unchangedFrom, run.first);
        unchangedFrom = run.first + run.count;
    }
    copyRows(lastOutput, output, unchangedFrom, output->height);
    if (runs.empty())
        return 0;

    int ret = sws_frame_start(context, output, picture);
    if (ret < 0)
        return ret;
    ret = sws_send_slice(context, 0, static_cast<unsigned>(picture->height));
    for (size_t i = 0; ret >= 0 && i < runs.size(); ++i)
        ret = sws_receive_slice(context, static_cast<unsigned>(runs[i].first),
                                static_cast<unsigned>(runs[i].count));
    sws_frame_end(context);
    return ret < 0 ? ret : 0;
}

} // namespace pixpipe
