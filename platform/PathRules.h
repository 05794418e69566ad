#pragma once
// Path rules of the program on this platform: the separator is '/', and the root "/" plays the
// part a drive root plays elsewhere. Pure functions on UTF-16 text, and the same splitting of native
// paths (bytes); any thread may call them.
#include <string>
#include <string_view>

constexpr char16_t kPathSeparator = u'/';

// Appends the separator to a non-empty path that does not already end with one; leaves an
// empty path, or one that ends with the separator, unchanged.
void AddTrailingBackslash(std::u16string& path);

// The folder of a path, as a view into it: drops the last component and the separator before it,
// except that the root keeps its separator. "/a/b.txt" -> "/a", "/b.txt" -> "/", "/" -> "/",
// "name" -> "", "/a/b/" -> "/a/b". Paths of any length are handled.
std::u16string_view FolderViewOfPath(std::u16string_view path);
// The last component of a path, as a view into it: what follows its last separator (all of a
// path without one). "/a/b.txt" -> "b.txt", "name" -> "name", "/a/" -> "".
std::u16string_view NameViewOfPath(std::u16string_view path);

// The same rules for native paths (bytes), where a path is handed to the system: the folder of a
// bare name is the current folder "." (the folder a system call would use), the root keeps its
// separator ("/b" -> "/"), and joining never doubles the root's separator ("/" + "b" -> "/b").
std::string NativeFolderOf(std::string_view path);
std::string_view NativeNameOf(std::string_view path);
std::string JoinNativePath(std::string_view folder, std::string_view name);

// The absolute form of a folder argument, resolved lexically against `base` (an absolute
// folder): "." and empty components are dropped, ".." removes the component before it (never
// above the root), symbolic links are not resolved. The result has no trailing separator unless
// it is the root. A relative folder with a `base` that is not absolute (empty when the current
// folder could not be read) cannot be made absolute: the result is then empty, never another
// folder.
std::u16string AbsoluteFolder(std::u16string_view folder, std::u16string_view base);

// The process's current working folder in UTF-16, or an empty text when it cannot be read.
std::u16string CurrentFolder();
