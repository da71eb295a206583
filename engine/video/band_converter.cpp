#include "video/band_converter.h"

#include <cstring>

namespace pixpipe {

namespace {

// Copies the columns [firstColumn, endColumn) of the luma rows [first, end)
// and of their chroma rows; firstColumn is even.
void copyBlock(const AVFrame *from, AVFrame *to, int first, int end, int firstColumn,
               int endColumn) {
    if (end <= first || endColumn <= firstColumn)
        return;
    for (int plane = 0; plane < 3; ++plane) {
        const int shift = plane == 0 ? 0 : 1;
        const int planeFirst = first >> shift;
        const int planeEnd = (end + shift) >> shift;
        const ptrdiff_t offset = firstColumn >> shift;
        const size_t bytes = static_cast<size_t>(((endColumn + shift) >> shift) - offset);
        for (int row = planeFirst; row < planeEnd; ++row)
            std::memcpy(
                to->data[plane] + static_cast<ptrdiff_t>(row) * to->linesize[plane] + offset,
                from->data[plane] + static_cast<ptrdiff_t>(row) * from->linesize[plane] + offset,
                bytes);
    }
}

// Copies the rows outside the runs.
void copyRowsBetween(const AVFrame *from, AVFrame *to, const std::vector<RowRange> &runs) {
    int unchangedFrom = 0;
    for (const RowRange &run : runs) {
        copyBlock(from, to, unchangedFrom, run.first, 0, to->width);
        unchangedFrom = run.first + run.count;
    }
    copyBlock(from, to, unchangedFrom, to->height, 0, to->width);
}

// Converts the runs' rows of picture into output, the filter reading the
// whole of picture.
int scaleRuns(SwsContext *context, const AVFrame *picture, AVFrame *output,
              const std::vector<RowRange> &runs) {
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

} // namespace

int convertBands(SwsContext *context, const AVFrame *picture, const AVFrame *lastOutput,
                 AVFrame *output, const std::vector<RowRange> &runs) {
    copyRowsBetween(lastOutput, output, runs);
    return runs.empty() ? 0 : scaleRuns(context, picture, output, runs);
}

int convertBandColumns(const ColumnWindow &window, const AVFrame *picture,
                       const AVFrame *lastOutput, AVFrame *output,
                       const std::vector<RowRange> &runs) {
    copyRowsBetween(lastOutput, output, runs);
    if (runs.empty())
        return 0;
    // Views of the window's columns: references to the same buffers with
    // their planes moved to the window's first column.
    AVFrame *source = av_frame_clone(picture);
    AVFrame *target = av_frame_clone(output);
    int ret = source && target ? 0 : AVERROR(ENOMEM);
    if (ret >= 0) {
        source->width = window.sourceWidth;
        source->data[0] +=
            static_cast<ptrdiff_t>(window.sourceFirst) * packedPixelBytes(picture->format);
        target->width = window.outputWidth;
        for (int plane = 0; plane < 3; ++plane)
            target->data[plane] += window.outputFirst >> (plane == 0 ? 0 : 1);
        ret = scaleRuns(window.context, source, target, runs);
    }
    av_frame_free(&source);
    av_frame_free(&target);
    for (const RowRange &run : runs) {
        copyBlock(lastOutput, output, run.first, run.first + run.count, 0, window.exactFirst);
        copyBlock(lastOutput, output, run.first, run.first + run.count, window.exactEnd,
                  output->width);
    }
    return ret;
}

} // namespace pixpipe
