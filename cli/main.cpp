// quillon-find: finds duplicate files with the same engine as the window and prints each duplicate
// beside its original, in the window's default order (size ascending).
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "cli/FindCommand.h"

namespace {

// Started with a standard descriptor closed, the next file the program opens would get its
// number, and the rows would be written into whatever that is. A closed standard output becomes
// /dev/null opened for reading, so every write to it fails and is reported; a closed standard
// error or input becomes plain /dev/null.
void ReserveStandardDescriptors()
{
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        const int flags = fd == STDERR_FILENO ? O_WRONLY : O_RDONLY;
        const int opened = open("/dev/null", flags | O_NOCTTY);
        if (opened != -1 && opened != fd) {
            dup2(opened, fd);
            close(opened);
        }
    }
}

}  // namespace

int main(int argc, char** argv)
{
    ReserveStandardDescriptors();
    return RunFindCommand(argc, argv, stdout, stderr);
}
