#include "platform/PathRules.h"

#include <unistd.h>

#include <cerrno>

#include <vector>

#include "platform/NativeName.h"

void AddTrailingBackslash(std::u16string& path)
{
    if (!path.empty() && path.back() != kPathSeparator)
        path.push_back(kPathSeparator);
}

std::u16string_view FolderViewOfPath(std::u16string_view path)
{
    const size_t slash = path.rfind(kPathSeparator);
    if (slash == std::u16string_view::npos)
        return {};
    return path.substr(0, slash == 0 ? 1 : slash);  // the root keeps its separator
}

std::u16string_view NameViewOfPath(std::u16string_view path)
{
    return path.substr(path.rfind(kPathSeparator) + 1);  // npos + 1 is 0: all of it
}

std::string NativeFolderOf(std::string_view path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string_view::npos)
        return ".";
    return std::string(path.substr(0, slash == 0 ? 1 : slash));
}

std::string_view NativeNameOf(std::string_view path)
{
    return path.substr(path.rfind('/') + 1);
}

std::string JoinNativePath(std::string_view folder, std::string_view name)
{
    std::string joined(folder);
    if (joined.empty() || joined.back() != '/')
        joined.push_back('/');
    return joined.append(name);
}

std::u16string AbsoluteFolder(std::u16string_view folder, std::u16string_view base)
{
    std::u16string joined;
    if (folder.empty() || folder.front() != kPathSeparator) {
        if (base.empty() || base.front() != kPathSeparator)
            return {};  // "." against a folder that is gone is not "/"
        joined.assign(base);
        joined.push_back(kPathSeparator);
    }
    joined.append(folder);

    std::vector<std::u16string_view> parts;
    std::u16string_view rest(joined);
    while (!rest.empty()) {
        const size_t slash = rest.find(kPathSeparator);
        const std::u16string_view part = rest.substr(0, slash);
        rest = slash == std::u16string_view::npos ? std::u16string_view() : rest.substr(slash + 1);
        if (part.empty() || part == u".")
            continue;
        if (part == u"..") {
            if (!parts.empty())
                parts.pop_back();
            continue;
        }
        parts.push_back(part);
    }
    if (parts.empty())
        return std::u16string(1, kPathSeparator);
    std::u16string result;
    for (std::u16string_view part : parts) {
        result.push_back(kPathSeparator);
        result.append(part);
    }
    return result;
}

std::u16string CurrentFolder()
{
    std::vector<char> buffer(4096);
    while (getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE || buffer.size() > (1u << 20))
            return {};
        buffer.resize(buffer.size() * 2);
    }
    return DecodeNativeName(buffer.data());
}
