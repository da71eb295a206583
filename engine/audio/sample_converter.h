// The sample converter and the FIFO between the decoder and the encoder: the
// decoder's samples are converted to the encoder's format and channel count
// and collected until a whole encoder frame is present.
#pragma once

#include "lifecycle/cast_context.h"

namespace pixpipe {

// What the converter takes in: the decoder's samples, or the loopback's.
struct SampleInput {
    int channels = 0;
    AVSampleFormat format = AV_SAMPLE_FMT_NONE;
    int sampleRate = 0;
};

// Creates m_resampler from the input's format, rate and channel count to
// the encoder's. Returns false (m_resampler empty) on failure.
bool createResampler(CastContext *cast, const SampleInput &input);

// Creates m_sampleFifo in the encoder's format and channel count with room
// for one sample. Returns false on failure.
bool createSampleFifo(CastContext *cast);

// Converts the decoded frame's samples and appends them to the FIFO, which
// is grown first to hold exactly what it will then contain. Returns 0, or
// the audio failure code 1009.
int convertIntoFifo(SwrContext *resampler, AVAudioFifo *fifo, const AVCodecContext *encoder,
                    const AVFrame *decoded);

} // namespace pixpipe
