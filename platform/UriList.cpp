#include "platform/UriList.h"

#include <unistd.h>

#include <climits>

#include "platform/NativeName.h"

namespace {

bool EqualsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

bool IsLocalHost(std::string_view host)
{
    if (host.empty() || EqualsNoCase(host, "localhost"))
        return true;
    char name[HOST_NAME_MAX + 1] = {};
    if (gethostname(name, sizeof name - 1) != 0)
        return false;
    return EqualsNoCase(host, name);
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The path bytes of one URI line, or false when it is not a local file URI.
bool LocalPathBytes(std::string_view uri, std::string& bytes)
{
    constexpr std::string_view kScheme = "file:";
    if (uri.size() < kScheme.size() || !EqualsNoCase(uri.substr(0, kScheme.size()), kScheme))
        return false;
    std::string_view rest = uri.substr(kScheme.size());
    rest = rest.substr(0, rest.find_first_of("?#"));
    if (rest.starts_with("//")) {
        rest.remove_prefix(2);
        const size_t slash = rest.find('/');
        if (slash == std::string_view::npos || !IsLocalHost(rest.substr(0, slash)))
            return false;
        rest.remove_prefix(slash);
    }
    if (!rest.starts_with('/'))
        return false;
    bytes.clear();
    for (size_t i = 0; i < rest.size(); ++i) {
        const bool escape = rest[i] == '%' && i + 2 < rest.size();
        const int high = escape ? HexValue(rest[i + 1]) : -1;
        const int low = escape ? HexValue(rest[i + 2]) : -1;
        if (high >= 0 && low >= 0) {
            bytes.push_back(static_cast<char>(high * 16 + low));
            i += 2;
        } else {
            bytes.push_back(rest[i]);  // a stray '%' stands for itself
        }
    }
    return bytes.find('\0') == std::string::npos;
}

}  // namespace

std::vector<std::u16string> LocalPathsFromUriList(std::string_view data)
{
    std::vector<std::u16string> paths;
    std::string bytes;
    while (!data.empty()) {
        const size_t end = data.find('\n');
        std::string_view line = data.substr(0, end);
        data = end == std::string_view::npos ? std::string_view() : data.substr(end + 1);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
            line.remove_suffix(1);
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t'))
            line.remove_prefix(1);
        if (line.empty() || line.front() == '#')
            continue;
        if (LocalPathBytes(line, bytes))
            paths.push_back(DecodeNativeName(bytes));
    }
    return paths;
}
