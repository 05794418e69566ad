#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "engine/Sha256.h"

namespace {

std::string Hex(const StrongDigest& digest)
{
    static const char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (const uint8_t byte : digest) {
        hex += kDigits[byte >> 4];
        hex += kDigits[byte & 15];
    }
    return hex;
}

std::string Counting(size_t length)
{
    std::string bytes;
    for (size_t i = 0; i < length; ++i)
        bytes += static_cast<char>(i & 0xff);
    return bytes;
}

}  // namespace

TEST(Sha256, GivesTheDigestsOfTheStandardWhateverSplitItIsFed)
{
    // The test vectors of FIPS 180-2 (one block, padding in a second block, many blocks) and bytes
    // counting through 0-255 (76,800 bytes).
    struct Case {
        std::string message;
        const char* digest;
    };
    const Case cases[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnopqrsmnopqrstnopqrstu",
         "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
        {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
        {Counting(76800), "f8b0585eb91f58c007a5634362c9f90d8543822c113f702523bc7b73408a9392"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message.size());
        EXPECT_EQ(Hex(CSha256::Of(c.message.data(), c.message.size())), c.digest);
        for (const bool portable : {false, true}) {
            for (const size_t step : {size_t{1}, size_t{63}, size_t{64}, size_t{65}, size_t{1000}}) {
                CSha256 sha(portable);
                for (size_t at = 0; at < c.message.size(); at += step)
                    sha.Update(c.message.data() + at, std::min(step, c.message.size() - at));
                EXPECT_EQ(Hex(sha.Final()), c.digest) << "fed in steps of " << step << (portable ? ", portable code" : "");
            }
        }
    }
}
