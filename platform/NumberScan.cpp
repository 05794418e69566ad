#include "platform/NumberScan.h"

bool ScanUnsigned64(std::u16string_view text, uint64_t& value)
{
    text = text.substr(0, 63);
    size_t i = 0;
    while (i < text.size() && (text[i] == u' ' || (text[i] >= u'\t' && text[i] <= u'\r')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    if (i == text.size() || text[i] < u'0' || text[i] > u'9')
        return false;
    uint64_t number = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i)
        number = number * 10 + static_cast<uint64_t>(text[i] - u'0');
    value = negative ? 0 - number : number;
    return true;
}
