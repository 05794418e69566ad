#include "platform/CommandLine.h"

#include "platform/NativeName.h"

std::u16string JoinCommandLine(int argc, const char* const* argv)
{
    std::u16string line;
    for (int i = 0; i < argc; ++i) {
        if (!argv[i])
            break;
        const std::u16string argument = DecodeNativeName(argv[i]);
        if (i > 0)
            line.push_back(u' ');
        if (argument.find(u' ') == std::u16string::npos) {
            line += argument;
            continue;
        }
        const size_t colon = argument.find(u':');
        const size_t quoteFrom = colon == std::u16string::npos ? 0 : colon + 1;
        line += argument.substr(0, quoteFrom);
        line += u'"' + argument.substr(quoteFrom) + u'"';
    }
    return line;
}
