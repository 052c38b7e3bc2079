#pragma once

#include <cstdint>
#include <vector>

class Volume;

// How a volume's valid samples (those above -100, as the statistics count them; every
// component) fall over `bins` equal intervals from `first` to `last`. `first` may lie above
// `last`: the bins then run downwards, and "below" means beyond `first`.
struct ValueHistogram {
    std::vector<std::int64_t> counts;
    std::int64_t below = 0;   // before the first bin
    std::int64_t above = 0;   // past the last bin
    std::int64_t total = 0;   // every valid sample
    std::int64_t largest = 0; // the largest bin count
};

// False (and an empty histogram) when there is nothing to count: no samples, fewer than one
// bin, an empty or non-finite interval, or no memory for the bins.
bool count_values(const Volume& volume, double first, double last, int bins, ValueHistogram& out);
