#include "batch_args.h"
#include "batch_commands.h"
#include "batch_import.h"
#include "c_locale.h"
#include "volume.h"

#include <cstdio>

int run_info(int argc, char** argv) {
    const BatchArgs args = parse_batch_args(argc, argv, {"--intermediate"}, {});
    if (args.help) {
        std::fputs(batch_usage, stdout);
        return 0;
    }
    if (!args.error.empty())
        return batch_usage_error(args.error);
    if (args.positional.size() != 1)
        return batch_usage_error("info takes one grid file");

    Volume data;
    Volume colour;
    const auto it = args.options.find("--intermediate");
    if (!batch_import(args.positional[0], it == args.options.end() ? "" : it->second, data, colour))
        return 1;

    std::fputs(format_c("extents: %d %d %d components: %d\n", data.nx, data.ny, data.nz, data.ncomp)
                   .c_str(),
               stdout);
    std::fputs(format_c("avg == %lf, stddev == %lf, min is %lf, max is %lf, numvalidsamps = %lld\n",
                        data.mean_value(), data.std_dev(), data.min_value(), data.max_value(),
                        static_cast<long long>(data.stat_count))
                   .c_str(),
               stdout);
    return 0;
}
