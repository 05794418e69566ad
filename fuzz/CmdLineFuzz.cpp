// Feeds any text to the command-line parser, as UTF-8 (odd first byte) or as raw UTF-16 units.
// Besides crashes, hangs and sanitizer reports it checks what callers rely on: keys are never
// empty and hold no A–Z, every value is a piece of the text, and every key is found again in any
// letter case.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/CmdLineParser.h"
#include "platform/NativeName.h"

namespace {

std::u16string UpperAZ(std::u16string text)
{
    for (char16_t& unit : text) {
        if (unit >= u'a' && unit <= u'z')
            unit = static_cast<char16_t>(unit - u'a' + u'A');
    }
    return text;
}

std::u16string TextOf(const uint8_t* data, size_t size)
{
    if (size == 0)
        return {};
    if (data[0] & 1)
        return DecodeNativeName(std::string_view(reinterpret_cast<const char*>(data + 1), size - 1));
    std::u16string text;
    for (size_t i = 1; i + 1 < size; i += 2)
        text.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::u16string text = TextOf(data, size);
    const CCmdLineParser parser(std::u16string_view{text});
    if (parser.Text() != text)
        std::abort();
    for (const auto& [key, value] : parser.Switches()) {
        if (key.empty())
            std::abort();
        for (char16_t unit : key) {
            if (unit >= u'A' && unit <= u'Z')
                std::abort();
        }
        if (text.find(value) == std::u16string::npos)
            std::abort();
        const auto found = parser.FindKey(UpperAZ(key));
        if (!found || *found != value)
            std::abort();
    }
    CCmdLineParser again;
    again.Split(text);
    if (again.Switches() != parser.Switches())
        std::abort();
    return 0;
}
