#include "batch_scene.h"

#include "batch_commands.h"
#include "batch_sequence.h"
#include "scene.h"

#include <cmath>
#include <cstdio>

namespace {

// Keeps the last message; the save question is answered "no", since a batch run has nobody
// to ask.
class BatchPrompts final : public ImportPrompts {
public:
    void show_message(const std::string& text) override { last_message = text; }
    bool ask_save_path(const std::string&, std::string&) override { return false; }
    std::string last_message;
};

void print_line(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    std::fprintf(stderr, "%s\n", text.c_str());
}

} // namespace

int batch_usage_error(const std::string& message) {
    if (!message.empty())
        std::fprintf(stderr, "halvorn-batch: %s\n", message.c_str());
    std::fputs(batch_usage, stderr);
    return 2;
}

int batch_words(int argc, char** argv, const std::vector<std::string>& valued,
                const std::vector<std::string>& flags, ProgramWords& words, SceneOptions& options) {
    std::vector<std::string> list{"halvorn-batch"};
    list.insert(list.end(), argv, argv + argc);
    words = parse_program_words(list, with_scene_options(valued), flags);
    if (words.help)
        return 0;
    if (!words.error.empty())
        return batch_usage_error(words.error);
    std::string error;
    if (!read_scene_options(words.options, options, error))
        return batch_usage_error(error);
    return 0;
}

int batch_import(const ProgramWords& words, const SceneOptions& options, Scene& scene) {
    BatchPrompts prompts;
    ImportOptions import;
    import.intermediate_path = options.intermediate_path;
    import.variables = options.variables;
    import.components_dimension = options.components;
    const ImportResult result = scene.import_grid(words.positional[0], prompts, import);
    if (result.ok) {
        if (const std::string notice = result.description.low_value_notice(); !notice.empty())
            std::fprintf(stderr, "halvorn-batch: warning: %s\n", notice.c_str());
        return 0;
    }
    // The dialog's last message box is the failure a person would read; failures that show
    // none in the dialog are still named here.
    print_line(prompts.last_message.empty() ? result.error : prompts.last_message);
    return 1;
}

int batch_classify_scene(const ProgramWords& words, const SceneOptions& options, Scene& scene,
                         bool classify) {
    if (words.positional.size() != 1 || (options.curves_path.empty() && !options.preset))
        return batch_usage_error("a grid file and --curves or --preset are needed");

    CurvesFile file;
    std::string error;
    if (!options.curves_path.empty() && !scene.load_curves(options.curves_path, file, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    if (options.preset)
        scene.apply_preset(*options.preset);
    scene.low_end = options.low.value_or(file.has_low ? file.low : 0.0);
    scene.range = options.range.value_or(file.has_range ? file.range : 100.0);
    if (!std::isfinite(scene.range) || scene.range == 0.0) {
        std::fputs("ERROR: the temperature range must be a non-zero finite number\n", stderr);
        return 1;
    }
    if (!std::isfinite(scene.low_end)) {
        std::fputs("ERROR: the low end of the temperature range must be a finite number\n", stderr);
        return 1;
    }
    scene.missing_data = options.missing.value_or(MissingData::grey);
    scene.integration = options.integration.value_or(PathIntegration::exact);

    if (const int status = batch_import(words, options, scene))
        return status;
    if (const int status = batch_apply_window(options, scene))
        return status;
    if (classify && !scene.classify_all()) {
        std::fputs("ERROR: the grid could not be classified (out of memory)\n", stderr);
        return 1;
    }
    return 0;
}
