// The text form of the per-user store: what a person sees and edits, and what survives damage.
#include <gtest/gtest.h>

#include <string>

#include "platform/NativeName.h"
#include "platform/RegText.h"
#include "platform/Registry.h"
#include "platform/Utf16Text.h"

using namespace std::string_literals;

namespace {

std::string Sz(std::u16string_view text)
{
    std::string bytes;
    for (char16_t unit : text) {
        bytes.push_back(static_cast<char>(unit & 0xFF));
        bytes.push_back(static_cast<char>(unit >> 8));
    }
    return bytes + std::string(2, '\0');
}

const CRegTree::Key* KeyAt(const CRegTree& tree, std::initializer_list<std::u16string> path)
{
    return tree.Find(std::vector<std::u16string>(path));
}

// The text of a REG_SZ value at the key, or "<missing>".
std::u16string TextAt(const CRegTree& tree, std::initializer_list<std::u16string> path, std::u16string_view name)
{
    const CRegTree::Key* key = KeyAt(tree, path);
    const CRegTree::Value* value = key ? key->FindValue(name) : nullptr;
    if (!value || value->type != REG_SZ)
        return u"<missing>";
    std::u16string text;
    for (size_t i = 0; i + 1 < value->data.size(); i += 2)
        text.push_back(static_cast<char16_t>(static_cast<unsigned char>(value->data[i]) |
                                             (static_cast<unsigned char>(value->data[i + 1]) << 8)));
    if (!text.empty() && text.back() == u'\0')
        text.pop_back();
    return text;
}

// Bytes that are not UTF-8 decode to U+DC80..U+DCFF without a high surrogate before them.
bool IsValidUtf8(const std::string& bytes)
{
    const std::u16string decoded = DecodeNativeName(bytes);
    for (size_t i = 0; i < decoded.size(); ++i) {
        if (decoded[i] >= 0xDC80 && decoded[i] <= 0xDCFF && (i == 0 || decoded[i - 1] < 0xD800 || decoded[i - 1] > 0xDBFF))
            return false;
    }
    return true;
}

}  // namespace

TEST(RegText, WritesTheRegistryExportLayoutAPersonCanRead)
{
    CRegTree tree;
    bool created = false;
    auto& settings = tree.Create({u"Software", u"Velvane", u"Quillon 1.0", u"Settings"}, created);
    settings.SetValue(u"m_Folder", REG_SZ, Sz(u"/home/ann/Photos/"));
    auto& folders = settings.AddSubkey(u"m_Folders", created);
    folders.SetValue(u"Count", REG_DWORD, std::string("\x0c\0\0\0", 4));

    EXPECT_EQ(CRegText::Format(tree),
              "Windows Registry Editor Version 5.00\n"
              "\n"
              "[HKEY_CURRENT_USER\\Software\\Velvane\\Quillon 1.0\\Settings]\n"
              "\"m_Folder\"=\"/home/ann/Photos/\"\n"
              "\n"
              "[HKEY_CURRENT_USER\\Software\\Velvane\\Quillon 1.0\\Settings\\m_Folders]\n"
              "\"Count\"=dword:0000000c\n");
}

TEST(RegText, NamesAndTextsWithBackslashesQuotesNonAsciiAndLoneSurrogatesRoundTripExactly)
{
    const std::u16string name = u"a\\b \"c\" \u00e9\u65e5 \U0001F600 \xDC80\xDCFF \xD800 \xDFFF";
    const std::u16string text = u"C:\\dir\\ \"quoted\" caf\u00e9 \u65e5\u672c \U0001F600 \xDC81\xDCFE "
                                u"\xDBFF tab\t nl\n cr\r nul\u0000 del\u007f \\u0041 end\\";
    CRegTree tree;
    bool created = false;
    auto& key = tree.Create({u"Software", u"caf\u00e9 \u65e5 [x] ]", u"\U0001F600"}, created);
    key.SetValue(name, REG_SZ, Sz(text));
    key.SetValue(u"", REG_SZ, Sz(u"default"));

    const std::string file = CRegText::Format(tree);
    EXPECT_TRUE(IsValidUtf8(file));
    const CRegTree back = CRegText::Parse(file);
    const std::initializer_list<std::u16string> path = {u"Software", u"caf\u00e9 \u65e5 [x] ]", u"\U0001F600"};
    EXPECT_EQ(TextAt(back, path, name), text);
    EXPECT_EQ(TextAt(back, path, u""), u"default");
    EXPECT_EQ(CRegText::Format(back), file);
    EXPECT_NE(file.find("\\udc80\\udcff"), std::string::npos);
}

TEST(RegText, ValuesThatAreNotPlainTextsOrDwordsKeepTheirTypeAndBytes)
{
    CRegTree tree;
    bool created = false;
    auto& key = tree.Create({u"K"}, created);
    key.SetValue(u"odd", REG_SZ, std::string("A\0B", 3));
    key.SetValue(u"unterminated", REG_SZ, std::string("A\0B\0", 4));
    key.SetValue(u"short dword", REG_DWORD, std::string("\x01\x02", 2));
    key.SetValue(u"binary", REG_BINARY, std::string("\x00\xff\x10", 3));
    key.SetValue(u"other", 0x12345678u, std::string());
    key.SetValue(u"empty text", REG_SZ, std::string(2, '\0'));

    const std::string file = CRegText::Format(tree);
    EXPECT_NE(file.find("\"binary\"=hex:00,ff,10\n"), std::string::npos);
    EXPECT_NE(file.find("\"other\"=hex(12345678):\n"), std::string::npos);
    const CRegTree back = CRegText::Parse(file);
    const CRegTree::Key* parsed = KeyAt(back, {u"K"});
    ASSERT_NE(parsed, nullptr);
    for (const auto& value : tree.Find({u"K"})->Values()) {
        const CRegTree::Value* copy = parsed->FindValue(value.name);
        ASSERT_NE(copy, nullptr) << Utf8(value.name);
        EXPECT_EQ(copy->type, value.type) << Utf8(value.name);
        EXPECT_EQ(copy->data, value.data) << Utf8(value.name);
    }
}

TEST(RegText, EmptyKeysSurviveAndKeysWithOnlySubkeysAreImplied)
{
    CRegTree tree;
    bool created = false;
    tree.Create({u"A", u"B", u"Empty"}, created);
    const std::string file = CRegText::Format(tree);
    EXPECT_EQ(file.find("[HKEY_CURRENT_USER\\A]"), std::string::npos);
    const CRegTree back = CRegText::Parse(file);
    EXPECT_NE(KeyAt(back, {u"a", u"b", u"empty"}), nullptr);
}

TEST(RegText, DamagedLinesAreSkippedAndEverythingIntactIsKept)
{
    const std::string file = "\xEF\xBB\xBF"
                             "Windows Registry Editor Version 5.00\r\n"
                             "\"orphan\"=\"before any key\"\r\n"
                             "[HKEY_CURRENT_USER\\Good]\r\n"
                             "\"first\"=\"1\"\r\n"
                             "\"unclosed=\"x\"\r\n"
                             "\"bad dword\"=dword:xyz\r\n"
                             "\"too long\"=dword:123456789\r\n"
                             "\"bad hex\"=hex:1,22,333\r\n"
                             "\"junk after\"=\"a\" junk\r\n"
                             "garbage line without quotes\r\n"
                             "\"delete me\"=-\r\n"
                             "; a comment\r\n"
                             "  \"indented\" = \"2\"  \r\n"
                             "[HKEY_CURRENT_USER\\Bad\\\\Empty component]\r\n"
                             "\"lost\"=\"under a damaged key\"\r\n"
                             "[HKEY_LOCAL_MACHINE\\Other]\r\n"
                             "\"lost too\"=\"another root\"\r\n"
                             "[HKEY_CURRENT_USER\\Good\\Sub\r\n"
                             "\"lost three\"=\"unclosed key line\"\r\n"
                             "[hkey_current_user\\GOOD]\r\n"
                             "\"third\"=dword:7\r\n"
                             "\"multi\"=hex(7):41,00,\\\r\n"
                             "    42,00,00,00\r\n"
                             "\"last\"=\"\xff\xfe not UTF-8\"";
    const CRegTree tree = CRegText::Parse(file);
    const CRegTree::Key* good = KeyAt(tree, {u"Good"});
    ASSERT_NE(good, nullptr);
    std::vector<std::u16string> names;
    for (const auto& value : good->Values())
        names.push_back(value.name);
    EXPECT_EQ(names, (std::vector<std::u16string>{u"first", u"indented", u"third", u"multi", u"last"}));
    EXPECT_EQ(TextAt(tree, {u"Good"}, u"indented"), u"2");
    EXPECT_EQ(good->FindValue(u"third")->data, std::string("\x07\0\0\0", 4));
    EXPECT_EQ(good->FindValue(u"multi")->data, std::string("A\0B\0\0\0", 6));
    EXPECT_EQ(TextAt(tree, {u"Good"}, u"last"), u"\xDCFF\xDCFE not UTF-8");
    EXPECT_EQ(tree.Root().Subkeys().size(), 1u);
    EXPECT_EQ(good->Subkeys().size(), 0u);
}

TEST(RegText, HandWrittenTextsKeepBackslashesThatStartNoEscape)
{
    const CRegTree tree = CRegText::Parse("REGEDIT4\n[HKEY_CURRENT_USER\\K]\n\"p\"=\"C:\\Data\\users\\u12\"\n"
                                          "\"q\"=\"\\u00e9\\\\u00e9\"\n");
    EXPECT_EQ(TextAt(tree, {u"K"}, u"p"), u"C:\\Data\\users\\u12");
    EXPECT_EQ(TextAt(tree, {u"K"}, u"q"), u"\u00e9\\u00e9");
}

TEST(RegText, KeyAndValueNamesIgnoreTheCaseOfAToZAndKeepTheFirstSpelling)
{
    const CRegTree tree = CRegText::Parse("[HKEY_CURRENT_USER\\Software\\Quillon]\n\"Count\"=dword:1\n"
                                          "[HKEY_CURRENT_USER\\SOFTWARE\\quillon]\n\"COUNT\"=dword:2\n"
                                          "\"\u00c9\"=\"upper\"\n\"\u00e9\"=\"lower\"\n");
    const CRegTree::Key* key = KeyAt(tree, {u"software", u"QUILLON"});
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->Name(), u"Quillon");
    ASSERT_EQ(key->Values().size(), 3u);  // É and é are different names: only A–Z fold
    EXPECT_EQ(key->Values()[0].name, u"Count");
    EXPECT_EQ(key->Values()[0].data, std::string("\x02\0\0\0", 4));
}

TEST(RegText, AnyBytesParseWithoutFailing)
{
    std::string noise;
    unsigned state = 12345;
    for (int i = 0; i < 20000; ++i) {
        state = state * 1103515245u + 12345u;
        const char alphabet[] = "[]\\\"=@:,;hexdword()0123456789abcdefHKEY_CURRENT_USER\r\n \t\xff\xc3";
        noise.push_back(alphabet[(state >> 16) % (sizeof alphabet - 1)]);
    }
    const CRegTree tree = CRegText::Parse(noise);
    const std::string once = CRegText::Format(tree);
    EXPECT_EQ(CRegText::Format(CRegText::Parse(once)), once);
}

TEST(RegText, Utf16WithAByteOrderMarkReadsInEitherByteOrderLikeUtf8)
{
    const std::u16string text = u"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\K]\r\n"
                                u"\"p\"=\"caf\u00e9 \U0001F600\"\r\n\"n\"=dword:0000002a\r\n";
    std::string little("\xFF\xFE", 2), big("\xFE\xFF", 2);
    for (char16_t unit : text) {
        little += {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
        big += {static_cast<char>(unit >> 8), static_cast<char>(unit & 0xFF)};
    }
    for (const std::string& file : {little, big, little + 'x'}) {
        CRegText::Damage damage;
        const CRegTree tree = CRegText::Parse(file, &damage);
        EXPECT_EQ(TextAt(tree, {u"K"}, u"p"), u"caf\u00e9 \U0001F600");
        EXPECT_EQ(KeyAt(tree, {u"K"})->FindValue(u"n")->data, std::string("\x2a\0\0\0", 4));
        EXPECT_TRUE(damage.notUtf8);  // a rewrite makes it UTF-8
        EXPECT_FALSE(damage.noHeader);
        EXPECT_EQ(damage.dropped, file.size() % 2 != 0);  // half a code unit at the end
        EXPECT_TRUE(IsValidUtf8(CRegText::Format(tree)));
    }
}

TEST(RegText, CommentsAndForeignLinesStayInPlaceAndNewValuesJoinTheEndOfTheirKeysSection)
{
    CRegTree tree = CRegText::Parse("; written by hand\n"
                                    "Windows Registry Editor Version 5.00\n"
                                    "\n"
                                    "[HKEY_CURRENT_USER\\A]\n"
                                    "; about a\n"
                                    "\"a\"=dword:1\n"
                                    "colour = blue\n"
                                    "\"a\"=dword:2\n"
                                    "\n"
                                    "; before B\n"
                                    "[HKEY_LOCAL_MACHINE\\Elsewhere]\n"
                                    "\"theirs\"=\"kept\"\n"
                                    "[hkey_current_user\\a]\n"
                                    "\"b\"=\"x\"\r\n");
    bool created = false;
    CRegTree::Key& a = tree.Create({u"A"}, created);
    a.SetValue(u"a", REG_DWORD, std::string("\x03\0\0\0", 4));
    a.SetValue(u"new", REG_SZ, Sz(u"n"));
    tree.Create({u"A", u"Sub"}, created).SetValue(u"s", REG_SZ, Sz(u"s"));
    EXPECT_EQ(CRegText::Format(tree),
              "Windows Registry Editor Version 5.00\n"
              "; written by hand\n"
              "\n"
              "[HKEY_CURRENT_USER\\A]\n"
              "; about a\n"
              "\"a\"=dword:00000003\n"
              "colour = blue\n"
              "\n"
              "; before B\n"
              "[HKEY_LOCAL_MACHINE\\Elsewhere]\n"
              "\"theirs\"=\"kept\"\n"
              "[hkey_current_user\\a]\n"
              "\"b\"=\"x\"\n"
              "\"new\"=\"n\"\n"
              "\n"
              "[HKEY_CURRENT_USER\\A\\Sub]\n"
              "\"s\"=\"s\"\n");
}

TEST(RegText, TheDamageReportTellsWhatARewriteWouldChangeOrKeep)
{
    const std::string header = "Windows Registry Editor Version 5.00\n";
    const struct {
        const char* name;
        std::string file;
        bool noHeader, dropped;
        std::vector<std::u16string> kept;
    } cases[] = {
        {"empty", "", false, false, {}},
        {"sound, with comments and blanks", header + "\n; note\n[HKEY_CURRENT_USER\\K]\n\"v\"=\"1\"\n", false, false, {}},
        {"no header", "[HKEY_CURRENT_USER\\K]\n\"v\"=\"1\"\n", true, false, {}},
        {"NULs", header + std::string(100, '\0'), false, true, {}},
        {"bytes that are not UTF-8 in a comment", header + "; caf\xe9\n", false, true, {}},
        {"a line not understood", header + "[HKEY_CURRENT_USER\\K]\n\"v\"=\"open\n", false, false, {u"\"v\"=\"open"}},
        {"a failed multi-line value",
         header + "[HKEY_CURRENT_USER\\K]\n\"h\"=hex:00,\\\n  zz\n",
         false,
         false,
         {u"\"h\"=hex:00,\\", u"  zz"}},
    };
    for (const auto& c : cases) {
        CRegText::Damage damage;
        CRegText::Parse(c.file, &damage);
        EXPECT_FALSE(damage.notUtf8) << c.name;
        EXPECT_EQ(damage.noHeader, c.noHeader) << c.name;
        EXPECT_EQ(damage.dropped, c.dropped) << c.name;
        EXPECT_EQ(damage.kept, c.kept) << c.name;
    }
}

TEST(RegText, TheValuesOfASectionWhoseKeyLineIsNotTextAreDroppedRatherThanMovedIntoTheKeyBefore)
{
    CRegText::Damage damage;
    CRegTree tree = CRegText::Parse("Windows Registry Editor Version 5.00\n"
                                    "[HKEY_CURRENT_USER\\Before]\n"
                                    "\"b\"=\"1\"\n"
                                    "[HKEY_CURRENT_USER\\Bro\0ken]\n"s
                                    "\"lost\"=\"2\"\n"
                                    "; and its comment\n"
                                    "[HKEY_CURRENT_USER\\After]\n"
                                    "\"a\"=\"3\"\n",
                                    &damage);
    EXPECT_TRUE(damage.dropped);
    const std::string once = CRegText::Format(tree);
    EXPECT_EQ(once.find("lost"), std::string::npos);
    EXPECT_EQ(KeyAt(CRegText::Parse(once), {u"Before"})->Values().size(), 1u);
    EXPECT_EQ(TextAt(CRegText::Parse(once), {u"After"}, u"a"), u"3");
}
