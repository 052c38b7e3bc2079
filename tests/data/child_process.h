#pragma once

#include <functional>
#include <grp.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

// The user that run_in_child becomes when the tests run as root: folder permissions bind it as
// they bind any user.
constexpr uid_t unprivileged_user = 65534;

// Runs `body` in a child process made by fork() and returns what it reported: "" when its checks
// held, else its first complaint. With `unprivileged`, a child of root becomes
// unprivileged_user first (the files it needs must be given to that user). The child ends with
// _exit(), so that nothing of the test process runs twice.
inline std::string run_in_child(const std::function<std::string()>& body,
                                bool unprivileged = false) {
    int report[2];
    if (pipe(report) != 0)
        return "no pipe";
    const pid_t child = fork();
    if (child == 0) {
        close(report[0]);
        std::string result;
        if (unprivileged && geteuid() == 0 &&
            (setgroups(0, nullptr) != 0 || setgid(unprivileged_user) != 0 ||
             setuid(unprivileged_user) != 0))
            result = "cannot become an unprivileged user";
        else
            result = body();
        const ssize_t written = write(report[1], result.data(), result.size());
        _exit(written == static_cast<ssize_t>(result.size()) ? 0 : 1);
    }
    close(report[1]);
    if (child < 0) {
        close(report[0]);
        return "no child";
    }
    std::string result;
    char block[256];
    ssize_t n;
    while ((n = read(report[0], block, sizeof block)) > 0)
        result.append(block, static_cast<std::size_t>(n));
    close(report[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        result += " (the child did not end normally)";
    return result;
}
