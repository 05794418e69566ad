// quillon-digest FILE...: prints the whole-file MD5 of each file the way a search computes it (one
// reused read buffer, steps of 64 KiB), in md5sum's output format. Used to time full digests
// against md5sum(1) and openssl(1).
#include <cstdio>

#include "engine/Digest.h"
#include "platform/NativeName.h"

int main(int argc, char** argv)
{
    int status = 0;
    for (int i = 1; i < argc; ++i) {
        Md5Digest digest{};
        uint64_t bytes = 0;
        if (!ComputeDigest(DecodeNativeName(argv[i]), 0, digest, bytes)) {
            std::fprintf(stderr, "quillon-digest: cannot digest %s\n", argv[i]);
            status = 1;
            continue;
        }
        for (uint8_t byte : digest)
            std::printf("%02x", byte);
        std::printf("  %s\n", argv[i]);
    }
    return status;
}
