#include "barcode_clock.h"

#include <chrono>

namespace bench {

namespace {

constexpr int kTimeBits = 32;
constexpr int kCheckBits = 8;
constexpr int kFirstTimeCell = 2;
constexpr int kFirstCheckCell = kFirstTimeCell + kTimeBits;
constexpr int kFirstTrailingGuard = kFirstCheckCell + kCheckBits;

uint8_t crc8(uint32_t value) {
    uint8_t crc = 0;
    for (int shift = 24; shift >= 0; shift -= 8) {
        crc ^= static_cast<uint8_t>(value >> shift);
        for (int bit = 0; bit < 8; ++bit)
            crc = static_cast<uint8_t>(crc & 0x80 ? (crc << 1) ^ 0x07 : crc << 1);
    }
    return crc;
}

// Mean luma of the middle half of a cell, over the middle half of the bar.
int cellLuma(const uint8_t *luma, int stride, int width, int height, int cell) {
    const int left = cell * width / kBarcodeCells;
    const int right = (cell + 1) * width / kBarcodeCells;
    const int barRows = kBarcodeRowsOf1080 * height / 1080;
    const int x0 = left + (right - left) / 4;
    const int x1 = right - (right - left) / 4;
    const int y0 = barRows / 4;
    const int y1 = barRows - barRows / 4;
    long sum = 0;
    long count = 0;
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x) {
            sum += luma[static_cast<long>(y) * stride + x];
            ++count;
        }
    }
    return count ? static_cast<int>(sum / count) : 0;
}

} // namespace

uint32_t wallClockMs() {
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    return static_cast<uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

BarcodeCells encodeBarcode(uint32_t timeMs) {
    BarcodeCells cells{};
    cells[0] = true;
    cells[1] = false;
    for (int bit = 0; bit < kTimeBits; ++bit)
        cells[kFirstTimeCell + bit] = (timeMs >> (kTimeBits - 1 - bit)) & 1;
    const uint8_t check = crc8(timeMs);
    for (int bit = 0; bit < kCheckBits; ++bit)
        cells[kFirstCheckCell + bit] = (check >> (kCheckBits - 1 - bit)) & 1;
    cells[kFirstTrailingGuard] = false;
    cells[kFirstTrailingGuard + 1] = true;
    return cells;
}

std::optional<uint32_t> readBarcode(const uint8_t *luma, int stride, int width, int height) {
    if (width < kBarcodeCells * 4 || height < 1080 / kBarcodeRowsOf1080 * 4)
        return std::nullopt;
    BarcodeCells cells{};
    for (int cell = 0; cell < kBarcodeCells; ++cell)
        cells[cell] = cellLuma(luma, stride, width, height, cell) > 128;
    uint32_t timeMs = 0;
    for (int bit = 0; bit < kTimeBits; ++bit)
        timeMs = (timeMs << 1) | cells[kFirstTimeCell + bit];
    if (encodeBarcode(timeMs) != cells)
        return std::nullopt;
    return timeMs;
}

} // namespace bench
