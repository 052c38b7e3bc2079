#pragma once

#include "batch_args.h"

class TransferFunction;
class Volume;

// The part of `classify` and `render` that loads and classifies like the dialog: reads the
// curves file of --curves into the four curves (red, green, blue, opacity) and builds their
// segments, takes the low end and range from --low/--range, else the file, else 0 and 100,
// and the colour of missing grid points from --missing (grey, faint or hidden; grey when
// absent), imports the grid (the first positional word; --intermediate names the intermediate
// file) and classifies it into `colour`. Returns 0, or the exit status after printing the reason.
int batch_load_and_classify(const BatchArgs& args, Volume& data, Volume& colour,
                            TransferFunction (&curves)[4]);
