// The application profile: strings under Software\<registry key>\<application>\<section>.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/Profile.h"
#include "platform/RegText.h"
#include "platform/Registry.h"
#include "tests/support/TempDir.h"

using quillon::test::ReadFile;
using quillon::test::TempDir;

namespace {

// Points the current user's store at a fresh folder for the life of the object.
struct FreshConfigHome {
    TempDir dir{"quillon-profile"};
    std::string saved = std::getenv("XDG_CONFIG_HOME") ? std::getenv("XDG_CONFIG_HOME") : "";
    FreshConfigHome() { setenv("XDG_CONFIG_HOME", dir.Path().c_str(), 1); }
    ~FreshConfigHome() { setenv("XDG_CONFIG_HOME", saved.c_str(), 1); }
    std::string File() const { return dir / "velvane/quillon.reg"; }
};

}  // namespace

TEST(Profile, StringsAreKeptUnderTheApplicationsKeyAndReadBack)
{
    FreshConfigHome home;
    SetProfileRegistryKey(u"Velvane\\Quillon 1.0", u"Quillon");
    EXPECT_EQ(GetProfileString(u"ResizableState", u"QuillonWindowPlacement", u"none"), u"none");
    ASSERT_TRUE(WriteProfileString(u"ResizableState", u"QuillonWindowPlacement", u"10,20,500,400,1,0,-1,-1"));
    EXPECT_EQ(GetProfileString(u"ResizableState", u"QuillonWindowPlacement"), u"10,20,500,400,1,0,-1,-1");

    const CRegTree tree = CRegText::Parse(ReadFile(home.File()));
    const CRegTree::Key* section = tree.Find({u"Software", u"Velvane", u"Quillon 1.0", u"Quillon", u"ResizableState"});
    ASSERT_NE(section, nullptr);
    const CRegTree::Value* value = section->FindValue(u"QuillonWindowPlacement");
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value->type, REG_SZ);
    EXPECT_EQ(value->data.size(), 2u * (23 + 1));
}

TEST(Profile, AValueOfAnotherTypeReadsAsTheDefault)
{
    FreshConfigHome home;
    SetProfileRegistryKey(u"Velvane\\Quillon 1.0", u"Quillon");
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, u"Software\\Velvane\\Quillon 1.0\\Quillon\\S", KEY_WRITE, &key), ERROR_SUCCESS);
    const uint32_t number = 0x00410041;
    RegSetValueEx(key, u"E", REG_DWORD, &number, sizeof number);
    RegCloseKey(key);
    EXPECT_EQ(GetProfileString(u"S", u"E", u"default"), u"default");
}
