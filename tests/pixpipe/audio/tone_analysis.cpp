#include "tone_analysis.h"

#include <algorithm>
#include <cmath>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace pixpipe::test {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr size_t kAnalysisWindow = 8192;

// Power of one DFT bin by Goertzel's recurrence.
double binPower(const std::vector<double> &window, size_t bin) {
    const double coefficient = 2.0 * std::cos(2.0 * kPi * bin / window.size());
    double previous = 0.0;
    double beforePrevious = 0.0;
    for (double sample : window) {
        const double current = sample + coefficient * previous - beforePrevious;
        beforePrevious = previous;
        previous = current;
    }
    return previous * previous + beforePrevious * beforePrevious -
           coefficient * previous * beforePrevious;
}

// Appends the first channel of a decoded frame; AAC decodes to planar float.
bool appendFirstChannel(const AVFrame *frame, std::vector<float> &out) {
    if (frame->format != AV_SAMPLE_FMT_FLTP)
        return false;
    const auto *samples = reinterpret_cast<const float *>(frame->data[0]);
    out.insert(out.end(), samples, samples + frame->nb_samples);
    return true;
}

} // namespace

double dominantFrequency(const std::vector<float> &samples, int sampleRate) {
    if (samples.empty() || sampleRate <= 0)
        return 0.0;
    // The middle of the signal: clear of the encoder's start-up and of a
    // last frame that may be cut short.
    const size_t length = std::min(samples.size(), kAnalysisWindow);
    const size_t start = (samples.size() - length) / 2;
    double mean = 0.0;
    for (size_t i = 0; i < length; ++i)
        mean += samples[start + i];
    mean /= length;
    std::vector<double> window(length);
    for (size_t i = 0; i < length; ++i) {
        const double hann = 0.5 - 0.5 * std::cos(2.0 * kPi * i / (length - 1));
        window[i] = (samples[start + i] - mean) * hann;
    }

    const size_t firstBin = std::max<size_t>(1, 20 * length / sampleRate);
    size_t bestBin = 0;
    double bestPower = 0.0;
    for (size_t bin = firstBin; bin < length / 2; ++bin) {
        const double power = binPower(window, bin);
        if (power > bestPower) {
            bestPower = power;
            bestBin = bin;
        }
    }
    return static_cast<double>(bestBin) * sampleRate / length;
}

double sineFitDeviation(const std::vector<float> &samples, double frequency, int sampleRate,
                        double *gain) {
    // Least squares on the basis sin, cos: samples ~ a sin + b cos.
    const double step = 2.0 * kPi * frequency / sampleRate;
    double ss = 0, cc = 0, sc = 0, ys = 0, yc = 0;
    for (size_t n = 0; n < samples.size(); ++n) {
        const double s = std::sin(step * n);
        const double c = std::cos(step * n);
        ss += s * s;
        cc += c * c;
        sc += s * c;
        ys += samples[n] * s;
        yc += samples[n] * c;
    }
    const double determinant = ss * cc - sc * sc;
    const double a = (ys * cc - yc * sc) / determinant;
    const double b = (yc * ss - ys * sc) / determinant;
    *gain = std::sqrt(a * a + b * b);

    double worst = 0.0;
    for (size_t n = 0; n < samples.size(); ++n) {
        const double fit = a * std::sin(step * n) + b * std::cos(step * n);
        worst = std::max(worst, std::abs(samples[n] - fit));
    }
    return *gain > 0.0 ? worst / *gain : INFINITY;
}

DecodedSound decodeSoundFile(const std::string &path) {
    DecodedSound sound;
    AVFormatContext *input = nullptr;
    if (avformat_open_input(&input, path.c_str(), nullptr, nullptr) < 0)
        return sound;
    AVCodecContext *decoder = nullptr;
    AVPacket *packet = av_packet_alloc();
    AVFrame *frame = av_frame_alloc();
    const AVCodec *codec = nullptr;
    const int streamIndex = avformat_find_stream_info(input, nullptr) >= 0
                                ? av_find_best_stream(input, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0)
                                : -1;
    if (streamIndex >= 0 && packet && frame && (decoder = avcodec_alloc_context3(codec)) &&
        avcodec_parameters_to_context(decoder, input->streams[streamIndex]->codecpar) >= 0 &&
        avcodec_open2(decoder, codec, nullptr) >= 0) {
        sound.sampleRate = decoder->sample_rate;
        sound.channels = decoder->ch_layout.nb_channels;
        sound.codecName = codec->name;
        bool reading = true;
        int result = 0;
        while (result >= 0 || result == AVERROR(EAGAIN)) {
            if (reading) {
                reading = av_read_frame(input, packet) >= 0;
                if (!reading)
                    avcodec_send_packet(decoder, nullptr); // drain the decoder
                else if (packet->stream_index == streamIndex)
                    avcodec_send_packet(decoder, packet);
                av_packet_unref(packet);
            }
            while ((result = avcodec_receive_frame(decoder, frame)) >= 0) {
                const bool appended = appendFirstChannel(frame, sound.samples);
                av_frame_unref(frame);
                if (!appended) {
                    sound.samples.clear();
                    result = AVERROR_INVALIDDATA;
                    break;
                }
            }
        }
    }
    avcodec_free_context(&decoder);
    av_frame_free(&frame);
    av_packet_free(&packet);
    avformat_close_input(&input);
    return sound;
}

} // namespace pixpipe::test
