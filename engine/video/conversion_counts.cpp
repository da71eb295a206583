#include "video/conversion_counts.h"

#include <atomic>

namespace pixpipe {

namespace {

std::atomic<int64_t> pictureCount{0};
std::atomic<int64_t> bandCount{0};
std::atomic<int64_t> convertedBandCount{0};
std::atomic<int64_t> areaCount{0};
std::atomic<int64_t> convertedAreaCount{0};

} // namespace

void countConversion(int bands, int bandsConverted, int columns, int columnsConverted) {
    pictureCount.fetch_add(1, std::memory_order_relaxed);
    bandCount.fetch_add(bands, std::memory_order_relaxed);
    convertedBandCount.fetch_add(bandsConverted, std::memory_order_relaxed);
    areaCount.fetch_add(int64_t{bands} * columns, std::memory_order_relaxed);
    convertedAreaCount.fetch_add(int64_t{bandsConverted} * columnsConverted,
                                 std::memory_order_relaxed);
}

ConversionCounts conversionCounts() {
    ConversionCounts counts;
    counts.pictures = pictureCount.load(std::memory_order_relaxed);
    counts.bands = bandCount.load(std::memory_order_relaxed);
    counts.bandsConverted = convertedBandCount.load(std::memory_order_relaxed);
    counts.area = areaCount.load(std::memory_order_relaxed);
    counts.areaConverted = convertedAreaCount.load(std::memory_order_relaxed);
    return counts;
}

} // namespace pixpipe
