// quillon-find: finds duplicate files with the same engine as the window and prints each duplicate
// beside its original, in the window's default order (size ascending).
#include <cstdio>

#include "cli/FindCommand.h"

int main(int argc, char** argv)
{
    return RunFindCommand(argc, argv, stdout, stderr);
}
