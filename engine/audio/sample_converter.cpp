#include "audio/sample_converter.h"

#include "audio/audio_error_text.h"
#include "lifecycle/engine_log.h"

extern "C" {
#include <libavutil/mem.h>
#include <libavutil/samplefmt.h>
}

namespace pixpipe {

namespace {

// The channel pointers and samples of one converted frame.
struct ConvertedSamples {
    uint8_t **planes = nullptr;

    ~ConvertedSamples() {
        if (planes)
            av_freep(&planes[0]);
        av_freep(&planes);
    }
};

} // namespace

bool createResampler(CastContext *cast, const SampleInput &input) {
    const AVCodecContext *encoder = cast->m_audioEncoder;
    AVChannelLayout inputLayout;
    AVChannelLayout outputLayout;
    av_channel_layout_default(&inputLayout, input.channels);
    av_channel_layout_default(&outputLayout, encoder->ch_layout.nb_channels);

    const int error = swr_alloc_set_opts2(&cast->m_resampler, &outputLayout, encoder->sample_fmt,
                                          encoder->sample_rate, &inputLayout, input.format,
                                          input.sampleRate, 0, nullptr);
    av_channel_layout_uninit(&inputLayout);
    av_channel_layout_uninit(&outputLayout);
    if (error < 0 || !cast->m_resampler) {
        logErrorLine("Could not allocate resample context\n");
        return false;
    }
    if (swr_init(cast->m_resampler) < 0) {
        logErrorLine("Could not open resample context\n");
        swr_free(&cast->m_resampler);
        return false;
    }
    return true;
}

bool createSampleFifo(CastContext *cast) {
    const AVCodecContext *encoder = cast->m_audioEncoder;
    cast->m_sampleFifo =
        av_audio_fifo_alloc(encoder->sample_fmt, encoder->ch_layout.nb_channels, 1);
    if (!cast->m_sampleFifo) {
        logErrorLine("Could not allocate FIFO\n");
        return false;
    }
    return true;
}

int convertIntoFifo(SwrContext *resampler, AVAudioFifo *fifo, const AVCodecContext *encoder,
                    const AVFrame *decoded) {
    const int channels = encoder->ch_layout.nb_channels;
    const int sampleCount = decoded->nb_samples;

    ConvertedSamples converted;
    converted.planes = static_cast<uint8_t **>(av_calloc(channels, sizeof(*converted.planes)));
    if (!converted.planes) {
        logLine("Could not allocate converted input sample pointers\n");
        return PIXPIPE_AUDIO_CONVERSION_FAILED;
    }
    int error =
        av_samples_alloc(converted.planes, nullptr, channels, sampleCount, encoder->sample_fmt, 0);
    if (error < 0) {
        logErrorLine("Could not allocate converted input samples (error '%s')\n",
                     audioErrorText(error).c_str());
        return PIXPIPE_AUDIO_CONVERSION_FAILED;
    }

    // The output rate is the input's or lower (a loopback mixing above what
    // AAC takes), so the output never needs more room than the input.
    const int convertedCount =
        swr_convert(resampler, converted.planes, sampleCount,
                    const_cast<const uint8_t **>(decoded->extended_data), sampleCount);
    if (convertedCount < 0) {
        logErrorLine("Could not convert input samples (error '%s')\n",
                     audioErrorText(convertedCount).c_str());
        return PIXPIPE_AUDIO_CONVERSION_FAILED;
    }

    error = av_audio_fifo_realloc(fifo, av_audio_fifo_size(fifo) + convertedCount);
    if (error < 0) {
        logLine("Could not reallocate FIFO\n");
        return PIXPIPE_AUDIO_CONVERSION_FAILED;
    }
    if (av_audio_fifo_write(fifo, reinterpret_cast<void **>(converted.planes), convertedCount) <
        convertedCount) {
        logLine("Could not write data to FIFO\n");
        return PIXPIPE_AUDIO_CONVERSION_FAILED;
    }
    return 0;
}

} // namespace pixpipe
