#pragma once

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

// The result of running a command line through the shell.
struct ProgramRun {
    int status = -1; // exit status
    std::string out; // standard output
    std::string err; // standard error
};

// Runs `command` with /bin/sh, capturing both streams; `env` is prefixed (e.g. "LC_ALL=C").
inline ProgramRun run_program(const std::string& command, const std::string& env = "") {
    char dir[] = "/tmp/halvorn-run-XXXXXX";
    ProgramRun r;
    if (!mkdtemp(dir))
        return r;
    const std::string out = std::string(dir) + "/out", err = std::string(dir) + "/err";
    const std::string line = env + " " + command + " >" + out + " 2>" + err + " </dev/null";
    const int raw = std::system(line.c_str());
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    const auto slurp = [](const std::string& p) {
        std::ifstream in(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    };
    r.out = slurp(out);
    r.err = slurp(err);
    std::remove(out.c_str());
    std::remove(err.c_str());
    rmdir(dir);
    return r;
}

// Quotes a word for the shell.
inline std::string shell_quote(const std::string& word) {
    std::string q = "'";
    for (char c : word)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}
