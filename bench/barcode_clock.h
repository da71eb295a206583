// The clock that the benchmark paints across the top of the screen and reads
// back from each decoded picture: the low 32 bits of the wall-clock time in
// milliseconds, as a row of black and white cells.
//
// Layout, left to right over the full picture width: a white and a black
// guard cell, 32 time bits (most significant first), 8 check bits (CRC-8 of
// the four time bytes) and a black and a white guard cell. White is 1.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

namespace bench {

constexpr int kBarcodeCells = 44;
// The bar's height on a 1080-row screen; it scales with the picture.
constexpr int kBarcodeRowsOf1080 = 40;

using BarcodeCells = std::array<bool, kBarcodeCells>;

// Wall-clock milliseconds since 1970, low 32 bits.
uint32_t wallClockMs();

BarcodeCells encodeBarcode(uint32_t timeMs);

// Reads the bar from a luma plane (8 bit, values above 128 are white).
// Empty when the guards or the check code do not match.
std::optional<uint32_t> readBarcode(const uint8_t *luma, int stride, int width, int height);

} // namespace bench
