#pragma once
// Questions about a single path on the real file system, asked with the path's exact native
// bytes (the lossless name codec), so that a name which is not UTF-8 is found like any other.
// Any thread may call these.
#include <string_view>

// True when something exists under the path (a dangling link does not count). False for an
// empty path, a missing path, or one that cannot be examined.
bool PathExists(std::u16string_view path);

// True when the path names a folder, or a symbolic link that leads to one. False for files,
// special files, missing paths and empty text.
bool IsFolderPath(std::u16string_view path);
