// The audio capture thread: device -> decoder -> converter -> FIFO -> frames
// of exactly the encoder's frame size on audioFrameQueue.
#include "audio/aac_encoder.h"
#include "audio/audio_decoder.h"
#include "audio/audio_device.h"
#include "audio/frame_cutter.h"
#include "audio/sample_converter.h"
#include "lifecycle/cast_lifecycle.h"
#include "lifecycle/engine_log.h"
#include "lifecycle/worker_threads.h"
#include "queue/media_queues.h"

namespace pixpipe {

namespace {

constexpr int kReadFailure = 1008;       // reading, decoding, frame allocation, FIFO read
constexpr int kConversionFailure = 1009; // converter, FIFO growth or write
constexpr int kEncoderFailure = 1010;
// The pause before asking a non-blocking device again when it had nothing.
constexpr int kNoPacketPauseMs = 5;

// Ends the audio side after a failure of this thread; returns the thread's
// failure result.
int failCapture(CastContext *cast, int code) {
    // The stop that left this thread behind has ended the cast; the failure
    // (often the device answering at last) concerns nobody now.
    if (captureAbandoned(cast, CaptureSide::Audio)) {
        logLine("audio capture thread left behind by the stop has ended (%d)\n", code);
        cast->m_flagacap = 1;
        return -1;
    }
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

// Opens the device, the decoder, the encoder, the converter and the FIFO.
// Returns 0, or the audio failure code.
int setUpCapture(CastContext *cast) {
    int failureCode = 0;
    const AVStream *stream = openAudioDevice(cast, &failureCode);
    if (!stream)
        return failureCode;
    if (!openAudioDecoder(cast, stream))
        return kReadFailure;
    if (!openAacEncoder(cast, cast->m_audioDecoder->sample_rate))
        return kEncoderFailure;
    if (!createResampler(cast) || !createSampleFifo(cast))
        return kConversionFailure;
    return 0;
}

enum class FillResult { Filled, InputFinished };

// Decodes and converts until the FIFO holds a whole frame, the audio side
// stops or the input ends. Returns the failure code in *failureCode.
FillResult fillFifo(CastContext *cast, int frameSize, int *failureCode) {
    while (av_audio_fifo_size(cast->m_sampleFifo) < frameSize && cast->m_audioRunning == 1) {
        AVFrame *input = av_frame_alloc();
        if (!input) {
            logLine("Could not allocate input frame\n");
            *failureCode = kReadFailure;
            return FillResult::Filled;
        }
        const DecodeResult decoded =
            readDecodedFrame(cast->m_audioInput, cast->m_audioDecoder, input);
        if (decoded.error != 0) {
            logLine("decode audio frame failed!\n");
            *failureCode = kReadFailure;
        } else if (decoded.dataPresent) {
            *failureCode =
                convertIntoFifo(cast->m_resampler, cast->m_sampleFifo, cast->m_audioEncoder, input);
        }
        av_frame_free(&input);
        if (decoded.noPacket)
            sleepWhileRunning(cast->m_audioRunning, kNoPacketPauseMs);
        if (*failureCode != 0)
            return FillResult::Filled;
        if (decoded.finished)
            return FillResult::InputFinished;
    }
    return FillResult::Filled;
}

} // namespace

int audioCaptureThread(CastContext *cast) {
    const int setUpFailure = setUpCapture(cast);
    if (setUpFailure != 0)
        return failCapture(cast, setUpFailure);

    // A device whose input ends (and whose decoder is drained) ends the audio
    // side normally once its whole frames are queued: the encoder and the
    // sender then finish on the end markers.
    const int frameSize = cast->m_audioEncoder->frame_size;
    bool inputFinished = false;
    while (cast->m_audioRunning == 1 && !inputFinished) {
        int failureCode = 0;
        inputFinished = fillFifo(cast, frameSize, &failureCode) == FillResult::InputFinished;
        if (failureCode != 0)
            return failCapture(cast, failureCode);

        while (av_audio_fifo_size(cast->m_sampleFifo) >= frameSize && cast->m_audioRunning == 1) {
            AVFrame *frame = cutFrame(cast->m_sampleFifo, cast->m_audioEncoder, frameSize);
            if (!frame)
                return failCapture(cast, kReadFailure);
            queueCapturedFrame(cast, CaptureSide::Audio, frame);
        }
    }

    if (AVFrame *endMarker = newEndMarkerFrame())
        queueCapturedFrame(cast, CaptureSide::Audio, endMarker);
    if (captureAbandoned(cast, CaptureSide::Audio))
        logLine("audio capture thread left behind by the stop has ended\n");
    else
        logLine("audio capture thread is exit\n");
    cast->m_flagacap = 1;
    return 1;
}

} // namespace pixpipe
