#include "platform/FileAttributes.h"

#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "platform/NativeName.h"

namespace {

// The native form of a path, or nothing when the path cannot name a file (empty, or holding a
// NUL byte that would cut it short at the system call).
bool NativePath(std::u16string_view path, std::string& native)
{
    if (path.empty())
        return false;
    native = EncodeNativeName(path);
    return native.find('\0') == std::string::npos;
}

}  // namespace

bool PathExists(std::u16string_view path)
{
    std::string native;
    return NativePath(path, native) && access(native.c_str(), F_OK) == 0;
}

bool IsFolderPath(std::u16string_view path)
{
    std::string native;
    struct stat st;
    return NativePath(path, native) && stat(native.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}
