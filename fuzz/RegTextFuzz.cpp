// Feeds any bytes to the store's text parser, as they are and as UTF-16 in both byte orders
// (the input after a byte-order mark). Besides crashes, hangs and sanitizer reports it checks
// that what the writer makes of the parsed tree, with a value changed and a key added, is valid
// UTF-8 with a header, reads back to itself, holds the new values and keeps every line the first
// reading kept.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/NativeName.h"
#include "platform/RegText.h"
#include "platform/Registry.h"

namespace {

void Check(std::string_view bytes)
{
    CRegText::Damage damage;
    CRegTree tree = CRegText::Parse(bytes, &damage);
    // A change as a save makes it: a value of the first key the file named, and a new key.
    const std::string marker("m\0a\0r\0k\0\0\0", 10);
    CRegTree::Key* first = tree.Root().Subkeys().empty() ? nullptr : tree.Root().Subkeys().front().get();
    if (first)
        first->SetValue(u"fuzz value", REG_SZ, marker);
    bool created = false;
    tree.Create({u"Software", u"Fuzz"}, created).SetValue(u"n", REG_DWORD, std::string(4, '\x01'));

    const std::string once = CRegText::Format(tree);
    // Bytes that are not UTF-8 decode to U+DC80..U+DCFF without a high surrogate before them.
    const std::u16string decoded = DecodeNativeName(once);
    for (size_t i = 0; i < decoded.size(); ++i) {
        const bool lone =
            decoded[i] >= 0xDC80 && decoded[i] <= 0xDCFF && (i == 0 || decoded[i - 1] < 0xD800 || decoded[i - 1] > 0xDBFF);
        if (lone)
            std::abort();  // the written file is not valid UTF-8
    }
    CRegText::Damage again;
    const CRegTree back = CRegText::Parse(once, &again);
    if (again.notUtf8 || again.noHeader || again.dropped)
        std::abort();  // the writer made something it cannot read
    if (again.kept != damage.kept)
        std::abort();  // a line the first reading kept moved or vanished
    if (CRegText::Format(back) != once)
        std::abort();  // something did not survive writing and reading again
    const CRegTree::Key* fuzz = back.Find({u"Software", u"Fuzz"});
    if (!fuzz || !fuzz->FindValue(u"n"))
        std::abort();  // the new key was lost
    if (first) {
        const CRegTree::Key* kept = back.Root().FindSubkey(first->Name());
        const CRegTree::Value* value = kept ? kept->FindValue(u"fuzz value") : nullptr;
        if (!value || value->data != marker)
            std::abort();  // the changed value was lost
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    Check(bytes);
    Check(std::string("\xFF\xFE", 2).append(bytes));
    Check(std::string("\xFE\xFF", 2).append(bytes));
    return 0;
}
