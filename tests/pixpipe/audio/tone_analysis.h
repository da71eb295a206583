// Checks on decoded sound used by the audio tests: the dominant frequency of
// a signal, how exactly a signal follows an ideal sine, and decoding an AAC
// file back to samples.
#pragma once

#include <string>
#include <vector>

namespace pixpipe::test {

// Frequency in Hz of the strongest spectral line of `samples` (first channel
// only, mean removed), searched between 20 Hz and half the sample rate.
double dominantFrequency(const std::vector<float> &samples, int sampleRate);

// Fits samples[n] = gain * sin(2 pi f n / rate + phase) with the phase
// searched, and returns the largest deviation from the fit relative to the
// fitted gain; `gain` receives the fitted gain.
double sineFitDeviation(const std::vector<float> &samples, double frequency, int sampleRate,
                        double *gain);

struct DecodedSound {
    std::vector<float> samples; // first channel
    int sampleRate = 0;
    int channels = 0;
    std::string codecName;
};

// Opens the file with its container probed (an ADTS stream for audio.aac),
// decodes its first audio stream and keeps the first channel. Empty samples
// when the file cannot be read or does not decode to planar float.
DecodedSound decodeSoundFile(const std::string &path);

} // namespace pixpipe::test
