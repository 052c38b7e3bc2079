#include "batch_args.h"

#include "batch_commands.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <locale.h>

#include "c_locale.h"

BatchArgs parse_batch_args(int argc, char** argv, const std::vector<std::string>& valued,
                           const std::vector<std::string>& flags) {
    BatchArgs args;
    for (int i = 0; i < argc; ++i) {
        const std::string word = argv[i];
        if (word == "--help" || word == "-h") {
            args.help = true;
        } else if (std::find(flags.begin(), flags.end(), word) != flags.end()) {
            args.options[word] = "";
        } else if (std::find(valued.begin(), valued.end(), word) != valued.end()) {
            if (i + 1 >= argc) {
                args.error = "option " + word + " needs a value";
                return args;
            }
            args.options[word] = argv[++i];
        } else if (word.size() > 1 && word[0] == '-' && word[1] == '-') {
            args.error = "unknown option " + word;
            return args;
        } else {
            args.positional.push_back(word);
        }
    }
    return args;
}

int batch_usage_error(const std::string& message) {
    if (!message.empty())
        std::fprintf(stderr, "halvorn-batch: %s\n", message.c_str());
    std::fputs(batch_usage, stderr);
    return 2;
}

bool parse_batch_double(const std::string& word, double& value) {
    if (word.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    value = strtod_l(word.c_str(), &end, c_locale());
    return end == word.c_str() + word.size();
}

bool parse_batch_int(const std::string& word, int& value) {
    if (word.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(word.c_str(), &end, 10);
    if (end != word.c_str() + word.size() || errno == ERANGE || v < -2147483647L - 1 ||
        v > 2147483647L)
        return false;
    value = static_cast<int>(v);
    return true;
}
