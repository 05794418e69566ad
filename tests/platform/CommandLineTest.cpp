// Joining the program's arguments into the one command-line text the parser reads.
#include <gtest/gtest.h>

#include "platform/CommandLine.h"

TEST(CommandLine, ArgumentsAreJoinedByBlanksAndOnlyArgumentsWithBlanksAreQuoted)
{
    const char* argv[] = {"/usr/bin/quillon", "/folder:/home/ann/My Photos", "-x", "two words", nullptr};
    EXPECT_EQ(JoinCommandLine(4, argv), u"/usr/bin/quillon /folder:\"/home/ann/My Photos\" -x \"two words\"");
}

TEST(CommandLine, ArgumentsThatAreNotUtf8SurviveAsLoneSurrogates)
{
    const char* argv[] = {"quillon", "/folder:/tmp/\xff", nullptr};
    EXPECT_EQ(JoinCommandLine(2, argv), u"quillon /folder:/tmp/\xDCFF");
}
