// How much of each captured picture the engine converted, counted over the
// life of the process, for measuring the saving of band-wise conversion.
#pragma once

#include <cstdint>

namespace pixpipe {

struct ConversionCounts {
    int64_t pictures = 0;       // pictures converted, whole or in bands
    int64_t bands = 0;          // bands those pictures had
    int64_t bandsConverted = 0; // bands actually converted
};

void countConversion(int bands, int bandsConverted);
ConversionCounts conversionCounts();

} // namespace pixpipe
