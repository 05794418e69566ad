// quillon-scan DIR...: runs the engine's folder scan over the folders (no size bounds) and prints
// the number of files listed and their total size. Used to time the scan against find(1).
#include <cstdio>
#include <vector>

#include "engine/Catalogue.h"
#include "engine/FolderScan.h"
#include "platform/NativeName.h"
#include "platform/PathRules.h"

int main(int argc, char** argv)
{
    std::vector<std::u16string> folders;
    const std::u16string cwd = CurrentFolder();
    for (int i = 1; i < argc; ++i)
        folders.push_back(AbsoluteFolder(DecodeNativeName(argv[i]), cwd));
    SetSizeBounds(0, 0);
    ScanSearchFolders(folders, nullptr);
    unsigned long long bytes = 0;
    for (const CFileRecord& record : g_fileList)
        bytes += record.size;
    std::printf("%u files, %llu bytes\n", g_fileCount, bytes);
    return 0;
}
