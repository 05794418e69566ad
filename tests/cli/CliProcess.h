#pragma once
// Running quillon-find in a test: as a process by path, or in this process (so that a test file
// system sees its calls).
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "cli/FindCommand.h"

namespace quillon::test {

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

inline std::string Slurp(int fd)
{
    std::string text;
    char buffer[4096];
    ssize_t got;
    while ((got = read(fd, buffer, sizeof buffer)) > 0)
        text.append(buffer, static_cast<size_t>(got));
    return text;
}

inline std::string Binary()
{
    return std::string(QUILLON_BINARY_DIR) + "/cli/quillon-find";
}

inline std::vector<char*> Argv(std::string& binary, const std::vector<std::string>& args)
{
    std::vector<char*> argv{binary.data()};
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    return argv;
}

// Runs the quillon-find binary as a process and collects what it printed. `inChild` runs in the
// child just before the program starts (to redirect its output, move it elsewhere, or drop
// privileges); it ends the child with status 126 when it cannot do its part.
inline Outcome RunProcess(const std::vector<std::string>& args, const std::function<void()>& inChild = {})
{
    std::string binary = Binary();
    char outName[] = "/tmp/quillon-out.XXXXXX";
    char errName[] = "/tmp/quillon-err.XXXXXX";
    const int outFd = mkstemp(outName);
    const int errFd = mkstemp(errName);
    const pid_t child = fork();
    if (child == 0) {
        dup2(outFd, 1);
        dup2(errFd, 2);
        if (inChild)
            inChild();
        execv(binary.c_str(), Argv(binary, args).data());
        _exit(127);
    }
    Outcome outcome;
    int status = 0;
    waitpid(child, &status, 0);
    outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    lseek(outFd, 0, SEEK_SET);
    lseek(errFd, 0, SEEK_SET);
    outcome.out = Slurp(outFd);
    outcome.err = Slurp(errFd);
    close(outFd);
    close(errFd);
    unlink(outName);
    unlink(errName);
    return outcome;
}

// Runs the command in this process, so that a test file system can interrupt it.
inline Outcome RunInProcess(std::vector<std::string> args)
{
    args.insert(args.begin(), "quillon-find");
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    FILE* out = tmpfile();
    FILE* err = tmpfile();
    Outcome outcome;
    outcome.status = RunFindCommand(static_cast<int>(args.size()), argv.data(), out, err);
    rewind(out);
    rewind(err);
    outcome.out = Slurp(fileno(out));
    outcome.err = Slurp(fileno(err));
    fclose(out);
    fclose(err);
    return outcome;
}

}  // namespace quillon::test
