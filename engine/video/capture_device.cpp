#include "video/capture_device.h"

#include <string>

extern "C" {
#include <libavdevice/avdevice.h>
#include <libavutil/dict.h>
}

namespace pixpipe {

namespace {

constexpr int64_t kRealTimeBufferBytes = 304128000;

} // namespace

int openCaptureDevice(const CaptureSource &source, int screenWidth, int screenHeight,
                      const AVIOInterruptCB &interrupt, AVFormatContext **input) {
    avdevice_register_all();
    const AVInputFormat *format = av_find_input_format(source.inputFormat.c_str());
    if (!format)
        return AVERROR_DEMUXER_NOT_FOUND;

    AVDictionary *options = nullptr;
    if (source.useScreenOptions) {
        av_dict_set(&options, "framerate", "15", 0);
        // Without a screen size the device's own default (its whole screen) applies.
        if (screenWidth > 0 && screenHeight > 0) {
            const std::string size =
                std::to_string(screenWidth) + "x" + std::to_string(screenHeight);
            av_dict_set(&options, "video_size", size.c_str(), 0);
        }
        av_dict_set_int(&options, "rtbufsize", kRealTimeBufferBytes, 0);
    }
    for (const auto &[key, value] : source.options)
        av_dict_set(&options, key.c_str(), value.c_str(), 0);

    *input = avformat_alloc_context();
    if (!*input) {
        av_dict_free(&options);
        return AVERROR(ENOMEM);
    }
    (*input)->interrupt_callback = interrupt;
    if (source.nonBlocking)
        (*input)->flags |= AVFMT_FLAG_NONBLOCK;
    // On failure avformat_open_input frees the context and empties *input.
    const int ret = avformat_open_input(input, source.device.c_str(), format, &options);
    av_dict_free(&options);
    return ret;
}

int findFirstVideoStream(const AVFormatContext *input) {
    for (unsigned i = 0; i < input->nb_streams; ++i) {
        if (input->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO)
            return static_cast<int>(i);
    }
    return -1;
}

} // namespace pixpipe
