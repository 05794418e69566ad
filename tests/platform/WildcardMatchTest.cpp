// Wildcard patterns against whole paths: the filters and the select-by-pattern command.
#include <gtest/gtest.h>

#include <string>

#include "platform/WildcardMatch.h"

TEST(MatchSpec, StarsQuestionMarksAndFoldedLetters)
{
    EXPECT_TRUE(MatchSpec(u"/a/b.jpg", u"*.JPG"));
    EXPECT_FALSE(MatchSpec(u"/a/b.jpg", u"b.jpg")) << "the pattern covers the whole path";
    EXPECT_TRUE(MatchSpec(u"/a/b.jpg", u"*/b.jpg"));
    EXPECT_TRUE(MatchSpec(u"/a/b.jpg", u"/?/b.j?g"));
    EXPECT_FALSE(MatchSpec(u"/a/b.jpg", u"/?/b.j?"));
    EXPECT_TRUE(MatchSpec(u"/x/y/z", u"/*z"));
    EXPECT_FALSE(MatchSpec(u"/a/\u00C4.txt", u"*\u00E4.txt")) << "only A to Z fold";
}

TEST(MatchSpec, PatternListsAndSpecialPatterns)
{
    EXPECT_TRUE(MatchSpec(u"/a/old.bak", u"*.tmp;*.bak"));
    EXPECT_TRUE(MatchSpec(u"/a/old.bak", u"*.tmp;   *.bak")) << "blanks before a pattern are ignored";
    EXPECT_FALSE(MatchSpec(u"/a/old.bak", u"*.tmp;*.bak ")) << "trailing blanks belong to the pattern";
    EXPECT_TRUE(MatchSpec(u"/a/README", u"*.*")) << "*.* matches names without a dot";
    EXPECT_FALSE(MatchSpec(u"/a/b", u""));
    EXPECT_FALSE(MatchSpec(u"/a/b", u" ; ;"));
    EXPECT_TRUE(MatchSpec(u"", u"*"));
}

TEST(MatchSpec, ManyStarsDoNotTakeExponentialTime)
{
    const std::u16string path(4000, u'a');
    EXPECT_FALSE(MatchSpec(path, u"*a*a*a*a*a*a*a*a*a*a*a*a*a*a*b"));
}
