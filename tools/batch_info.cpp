#include "batch_commands.h"
#include "batch_scene.h"
#include "c_locale.h"
#include "scene.h"

#include <cstdio>

int run_info(int argc, char** argv) {
    ProgramWords words;
    SceneOptions options;
    if (const int status = batch_words(argc, argv, {}, {}, words, options))
        return status;
    if (words.help) {
        std::fputs(batch_usage, stdout);
        return 0;
    }
    if (words.positional.size() != 1)
        return batch_usage_error("info takes one grid file");

    Scene scene;
    if (const int status = batch_import(words, options, scene))
        return status;
    const Volume& data = scene.data_volume;
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
