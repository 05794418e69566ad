// The command-line switches, with the paths of this platform.
#include <gtest/gtest.h>

#include "app/CmdLineParser.h"
#include "platform/CommandLine.h"

namespace {

constexpr std::u16string_view kProgram = u"/usr/bin/quillon ";

std::optional<std::u16string> Folder(std::u16string_view arguments)
{
    return CCmdLineParser(std::u16string(kProgram) + std::u16string(arguments)).FindKey(u"Folder");
}

}  // namespace

TEST(CmdLineParser, AQuotedValueKeepsItsBlanks)
{
    EXPECT_EQ(Folder(u"/folder:\"/home/ann/My Photos\""), u"/home/ann/My Photos");
}

TEST(CmdLineParser, KeysIgnoreTheCaseOfTheSwitchAndEitherSwitchCharacterWorks)
{
    EXPECT_EQ(Folder(u"-FOLDER:/data"), u"/data");
    EXPECT_EQ(Folder(u"/FoLdEr:/data"), u"/data");
}

TEST(CmdLineParser, AnUnquotedValueEndsAtTheFirstBlank)
{
    EXPECT_EQ(Folder(u"/folder:/home/ann/My Photos"), u"/home/ann/My");
}

TEST(CmdLineParser, ASwitchWithoutAColonValueHasAnEmptyValue)
{
    EXPECT_EQ(Folder(u"/folder /data"), u"");
    EXPECT_EQ(Folder(u"/folder:"), u"");
    EXPECT_EQ(Folder(u"/folder"), u"");
    EXPECT_EQ(Folder(u"/folder:\""), u"");
}

TEST(CmdLineParser, TheFirstOccurrenceOfAKeyWins)
{
    EXPECT_EQ(Folder(u"/folder:/a /folder:/b"), u"/a");
    EXPECT_EQ(Folder(u"/folder /folder:/b"), u"");
}

TEST(CmdLineParser, AnEqualsSignIsNotAValueSeparator)
{
    CCmdLineParser parser(u"quillon /folder=D:\\Data");
    EXPECT_FALSE(parser.FindKey(u"folder"));
    EXPECT_EQ(parser.FindKey(u"folder=d"), u"\\Data");
    EXPECT_FALSE(Folder(u"/folder=/data"));
}

TEST(CmdLineParser, AnUnclosedQuoteTakesTheRestOfTheLine)
{
    EXPECT_EQ(Folder(u"/folder:\"/data"), u"/data");
    EXPECT_EQ(Folder(u"/folder:\"/my data -x /y"), u"/my data -x /y");
}

TEST(CmdLineParser, SwitchCharactersInTheProgramsOwnPathDoNotDisturbTheSwitchThatFollows)
{
    CCmdLineParser parser(u"/home/ann/my-tools/quillon /folder:/data");
    EXPECT_EQ(parser.FindKey(u"folder"), u"/data");
    EXPECT_EQ(parser.FindKey(u"home/ann/my-tools/quillon"), u"");
    EXPECT_EQ(CCmdLineParser(u"/opt/a:b/quillon -folder:/x").FindKey(u"folder"), u"/x");
}

TEST(CmdLineParser, InsideAValueHyphensSlashesAndColonsAreOrdinaryCharacters)
{
    EXPECT_EQ(Folder(u"/folder:/a-b/c:d/-e"), u"/a-b/c:d/-e");
}

TEST(CmdLineParser, NoArgumentsAndANullTextGiveNoSwitches)
{
    EXPECT_FALSE(Folder(u""));
    EXPECT_TRUE(CCmdLineParser(static_cast<const char16_t*>(nullptr)).Switches().empty());
    EXPECT_TRUE(CCmdLineParser(u"no switches here").Switches().empty());
}

TEST(CmdLineParser, EmptyKeysAreNeverStored)
{
    CCmdLineParser parser(u"- / -: /:value -:\"q\" /");
    EXPECT_TRUE(parser.Switches().empty());
}

TEST(CmdLineParser, SplitReplacesEverythingAndACaseSensitiveParserKeepsKeysAsWritten)
{
    CCmdLineParser parser(u"/A:1", true);
    EXPECT_EQ(parser.FindKey(u"A"), u"1");
    EXPECT_FALSE(parser.FindKey(u"a"));
    parser.Split(u"/b:2");
    EXPECT_EQ(parser.Text(), u"/b:2");
    EXPECT_FALSE(parser.HasKey(u"A"));
    EXPECT_EQ(parser.GetValue(u"b"), u"2");
    EXPECT_EQ(parser.GetValue(u"absent"), u"");
}

TEST(CmdLineParser, AShellArgumentWithABlankReachesTheParserWhole)
{
    // quillon "/folder:/home/ann/My Photos" and quillon /folder:"/home/ann/My Photos" both give
    // the program this one argument.
    const char* argv[] = {"/usr/bin/quillon", "/folder:/home/ann/My Photos", nullptr};
    EXPECT_EQ(CCmdLineParser(JoinCommandLine(2, argv)).FindKey(u"folder"), u"/home/ann/My Photos");
}
