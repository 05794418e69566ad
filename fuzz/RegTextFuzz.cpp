// Feeds any bytes to the store's text parser. Besides crashes, hangs and sanitizer reports it
// checks that what the writer makes of the parsed tree is valid UTF-8 and reads back to itself.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/NativeName.h"
#include "platform/RegText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::string once = CRegText::Format(CRegText::Parse(bytes));
    // Bytes that are not UTF-8 decode to U+DC80..U+DCFF without a high surrogate before them.
    const std::u16string decoded = DecodeNativeName(once);
    for (size_t i = 0; i < decoded.size(); ++i) {
        const bool lone = decoded[i] >= 0xDC80 && decoded[i] <= 0xDCFF
            && (i == 0 || decoded[i - 1] < 0xD800 || decoded[i - 1] > 0xDBFF);
        if (lone)
            std::abort();  // the written file is not valid UTF-8
    }
    if (CRegText::Format(CRegText::Parse(once)) != once)
        std::abort();  // something did not survive writing and reading again
    return 0;
}
