#include "audio/frame_cutter.h"

#include "audio/audio_error_text.h"
#include "lifecycle/engine_log.h"

#include <algorithm>

namespace pixpipe {

AVFrame *cutFrame(AVAudioFifo *fifo, const AVCodecContext *encoder, int frameSize) {
    const int sampleCount = std::min(av_audio_fifo_size(fifo), frameSize);

    AVFrame *frame = av_frame_alloc();
    if (!frame) {
        logErrorLine("Could not allocate output frame samples (error '%s')\n",
                     audioErrorText(AVERROR(ENOMEM)).c_str());
        return nullptr;
    }
    frame->nb_samples = sampleCount;
    frame->format = encoder->sample_fmt;
    frame->sample_rate = encoder->sample_rate;
    int error = av_channel_layout_copy(&frame->ch_layout, &encoder->ch_layout);
    if (error >= 0)
        error = av_frame_get_buffer(frame, 0);
    if (error < 0) {
        logErrorLine("Could not allocate output frame samples (error '%s')\n",
                     audioErrorText(error).c_str());
        av_frame_free(&frame);
        return nullptr;
    }

    if (av_audio_fifo_read(fifo, reinterpret_cast<void **>(frame->data), sampleCount) <
        sampleCount) {
        logLine("Could not read data from FIFO\n");
        av_frame_free(&frame);
        return nullptr;
    }
    return frame;
}

} // namespace pixpipe
