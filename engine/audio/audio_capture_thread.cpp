// The audio capture thread: device -> decoder (or the playback loopback) ->
// converter -> FIFO -> frames of exactly the encoder's frame size on
// audioFrameQueue.
#include "audio/aac_encoder.h"
#include "audio/audio_decoder.h"
#include "audio/audio_device.h"
#include "audio/frame_cutter.h"
#include "audio/loopback_reader.h"
#include "audio/sample_converter.h"
#include "lifecycle/cast_lifecycle.h"
#include "lifecycle/engine_log.h"
#include "lifecycle/worker_threads.h"
#include "queue/media_queues.h"

#include <algorithm>
#include <memory>

namespace pixpipe {

namespace {

// The pause before asking a non-blocking device, or a loopback, again when
// it had nothing to give.
constexpr int kNothingYetPauseMs = 5;
// A playback device may mix at up to 192 kHz, beyond what AAC takes; the
// loopback's sound is then encoded at this rate.
constexpr int kHighestLoopbackEncodeRate = 48000;

// Ends the audio side after a failure of this thread; returns the thread's
// failure result.
int failCapture(CastContext *cast, int code) {
    // The stop that left this thread behind has ended the cast; the failure
    // (often the device answering at last) concerns nobody now.
    if (endAbandonedCapture(cast, CaptureSide::Audio, code))
        return -1;
    // Cleared before the encode thread is woken, so that it cannot find the
    // queue empty while the flag still reads 1 and go back to waiting for good.
    cast->m_audioRunning = 0;
    cast->m_audioFrameEvent.set();
    failAudioSide(cast, code);
    // Last touch of the context: once every done flag is set, release
    // frees the media contexts.
    cast->m_flagacap = 1;
    return -1;
}

// Opens the audio source, or the loopback fallback into `loopback`, and logs
// which one it opened. Fills `input` with the samples' layout. Returns 0, or
// the audio failure code.
int openSource(CastContext *cast, std::unique_ptr<LoopbackReader> &loopback, SampleInput *input) {
    const CaptureSources sources = currentCaptureSources();
    int failureCode = 0;
    const AVStream *stream = openAudioDevice(cast, sources.audio, &failureCode);
    if (stream) {
        logLine("audio source: %s\n", captureSourceName(sources.audio).c_str());
        if (!openAudioDecoder(cast, stream))
            return PIXPIPE_AUDIO_READ_FAILED;
        const AVCodecContext *decoder = cast->m_audioDecoder;
        *input = {decoder->ch_layout.nb_channels, decoder->sample_fmt, decoder->sample_rate};
        return 0;
    }
    if (failureCode != PIXPIPE_AUDIO_DEVICE_NOT_OPENED)
        return failureCode;
    if (sources.audioLoopbackFallback) {
        logLine("audio source %s could not be opened\n", captureSourceName(sources.audio).c_str());
        loopback = openLoopbackReader(sources.audioLoopbackFallback);
    }
    if (!loopback) {
        logErrorLine("Couldn't open audio input stream.\n");
        return PIXPIPE_AUDIO_DEVICE_NOT_OPENED;
    }
    logLine("audio source: loopback of the default playback device\n");
    *input = loopback->input();
    return 0;
}

// Opens the source, the encoder, the converter and the FIFO. Returns 0, or
// the audio failure code.
int setUpCapture(CastContext *cast, std::unique_ptr<LoopbackReader> &loopback) {
    SampleInput input;
    const int failureCode = openSource(cast, loopback, &input);
    if (failureCode != 0)
        return failureCode;
    const int encodeRate =
        loopback ? std::min(input.sampleRate, kHighestLoopbackEncodeRate) : input.sampleRate;
    if (!openAacEncoder(cast, encodeRate))
        return PIXPIPE_AUDIO_ENCODER_FAILED;
    if (!createResampler(cast, input) || !createSampleFifo(cast))
        return PIXPIPE_AUDIO_CONVERSION_FAILED;
    return 0;
}

enum class FillResult { Filled, InputFinished };

// Decodes (or takes from the loopback) and converts until the FIFO holds a
// whole frame, the audio side stops or the input ends. Returns the failure
// code in *failureCode.
FillResult fillFifo(CastContext *cast, LoopbackReader *loopback, int frameSize, int *failureCode) {
    while (av_audio_fifo_size(cast->m_sampleFifo) < frameSize && cast->m_audioRunning == 1) {
        AVFrame *input = av_frame_alloc();
        if (!input) {
            logLine("Could not allocate input frame\n");
            *failureCode = PIXPIPE_AUDIO_READ_FAILED;
            return FillResult::Filled;
        }
        const DecodeResult decoded =
            loopback ? loopback->read(input)
                     : readDecodedFrame(cast->m_audioInput, cast->m_audioDecoder, input);
        if (decoded.error != 0) {
            logLine("decode audio frame failed!\n");
            *failureCode = PIXPIPE_AUDIO_READ_FAILED;
        } else if (decoded.dataPresent) {
            *failureCode =
                convertIntoFifo(cast->m_resampler, cast->m_sampleFifo, cast->m_audioEncoder, input);
        }
        av_frame_free(&input);
        if (decoded.noPacket || (loopback && !decoded.dataPresent && decoded.error == 0))
            sleepWhileRunning(cast->m_audioRunning, kNothingYetPauseMs);
        if (*failureCode != 0)
            return FillResult::Filled;
        if (decoded.finished)
            return FillResult::InputFinished;
    }
    return FillResult::Filled;
}

// Captures, converts and queues frames until the audio side stops or the
// input ends. Returns 0, or the audio failure code.
int captureUntilStopped(CastContext *cast, std::unique_ptr<LoopbackReader> &loopback) {
    const int setUpFailure = setUpCapture(cast, loopback);
    if (setUpFailure != 0)
        return setUpFailure;

    // A device whose input ends (and whose decoder is drained) ends the audio
    // side normally once its whole frames are queued: the encoder and the
    // sender then finish on the end markers.
    const int frameSize = cast->m_audioEncoder->frame_size;
    bool inputFinished = false;
    while (cast->m_audioRunning == 1 && !inputFinished) {
        int failureCode = 0;
        inputFinished =
            fillFifo(cast, loopback.get(), frameSize, &failureCode) == FillResult::InputFinished;
        if (failureCode != 0)
            return failureCode;

        while (av_audio_fifo_size(cast->m_sampleFifo) >= frameSize && cast->m_audioRunning == 1) {
            AVFrame *frame = cutFrame(cast->m_sampleFifo, cast->m_audioEncoder, frameSize);
            if (!frame)
                return PIXPIPE_AUDIO_READ_FAILED;
            queueCapturedFrame(cast, CaptureSide::Audio, frame);
        }
    }
    return 0;
}

} // namespace

int audioCaptureThread(CastContext *cast) {
    std::unique_ptr<LoopbackReader> loopback;
    const int failureCode = captureUntilStopped(cast, loopback);
    // The loopback's system objects (and COM) belong to this thread; they go
    // before the thread reports its end.
    loopback.reset();
    if (failureCode != 0)
        return failCapture(cast, failureCode);

    finishCapture(cast, CaptureSide::Audio);
    return 1;
}

} // namespace pixpipe
