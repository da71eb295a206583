#include "audio/audio_device.h"

#include "lifecycle/cast_lifecycle.h"
#include "lifecycle/engine_log.h"

extern "C" {
#include <libavdevice/avdevice.h>
#include <libavutil/dict.h>
}

namespace pixpipe {

namespace {

// Real-time buffer of the capture device: room for a long stall of the
// reading thread without losing samples.
constexpr int64_t kRealTimeBufferBytes = 304128000;

// 1005: the device could not be opened.
bool openInput(CastContext *cast, const CaptureSource &source) {
    const AVInputFormat *format = av_find_input_format(source.inputFormat.c_str());
    if (!format)
        return false;
    cast->m_audioInput = avformat_alloc_context();
    if (!cast->m_audioInput)
        return false;
    // A stop interrupts an opening or a read that waits for the device.
    cast->m_audioInput->interrupt_callback = {interruptWhenStopped, &cast->m_audioRunning};
    if (source.nonBlocking)
        cast->m_audioInput->flags |= AVFMT_FLAG_NONBLOCK;
    AVDictionary *options = nullptr;
    av_dict_set_int(&options, "rtbufsize", kRealTimeBufferBytes, 0);
    for (const auto &option : source.options)
        av_dict_set(&options, option.first.c_str(), option.second.c_str(), 0);
    // On failure avformat_open_input frees the context and empties the field.
    const int result =
        avformat_open_input(&cast->m_audioInput, source.device.c_str(), format, &options);
    av_dict_free(&options);
    return result >= 0;
}

} // namespace

AVStream *openAudioDevice(CastContext *cast, const CaptureSource &source, int *failureCode) {
    if (!openInput(cast, source)) {
        *failureCode = PIXPIPE_AUDIO_DEVICE_NOT_OPENED;
        return nullptr;
    }
    if (avformat_find_stream_info(cast->m_audioInput, nullptr) < 0) {
        logErrorLine("Couldn't find audio stream information.\n");
        *failureCode = PIXPIPE_AUDIO_NO_STREAM_INFO;
        return nullptr;
    }
    for (unsigned i = 0; i < cast->m_audioInput->nb_streams; ++i) {
        AVStream *stream = cast->m_audioInput->streams[i];
        if (stream->codecpar->codec_type == AVMEDIA_TYPE_AUDIO)
            return stream;
    }
    logErrorLine("Didn't find audio stream.\n");
    *failureCode = PIXPIPE_AUDIO_NO_STREAM;
    return nullptr;
}

} // namespace pixpipe
