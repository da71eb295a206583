// How much of each captured picture the engine converted, counted over the
// life of the process, for measuring the saving of converting only what
// changed.
#pragma once

#include <cstdint>

namespace pixpipe {

struct ConversionCounts {
    int64_t pictures = 0;       // pictures converted, whole or in parts
    int64_t bands = 0;          // bands those pictures had
    int64_t bandsConverted = 0; // bands actually converted
    // The same weighted by the output columns: the area of the pictures and
    // the area converted, in band columns.
    int64_t area = 0;
    int64_t areaConverted = 0;
};

// One converted picture of bands bands of columns columns, of which
// bandsConverted bands were converted in columnsConverted columns.
void countConversion(int bands, int bandsConverted, int columns, int columnsConverted);
ConversionCounts conversionCounts();

} // namespace pixpipe
