#include "symbology/pdf417patterns.h"

#include <cstddef>

namespace {

// Bar-space sequences of the symbol character table of ISO/IEC 15438, one string of eight
// element widths per codeword value (bar first), cluster 0, 3 and 6 in turn. To be typed from
// the standard's table: until then the clusters are empty and no codeword is drawn.
const char* const kClusters[3][929] = {};

uint32_t ToModules(const char* widths)
{
    uint32_t bits = 0;
    for (int e = 0; e < 8; ++e) {
        const int w = widths[e] - '0';
        for (int i = 0; i < w; ++i)
            bits = (bits << 1) | ((e % 2 == 0) ? 1u : 0u);
    }
    return bits;
}

}  // namespace

uint32_t PDF417Pattern(int cluster, int value)
{
    if (cluster < 0 || cluster > 2 || value < 0 || value > 928)
        return 0;
    const char* widths = kClusters[cluster][value];
    return widths ? ToModules(widths) : 0;
}

bool PDF417PatternsComplete()
{
    for (const auto& cluster : kClusters) {
        for (const char* widths : cluster) {
            if (widths == nullptr)
                return false;
        }
    }
    return true;
}
