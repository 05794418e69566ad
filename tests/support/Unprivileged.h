#pragma once
// Runs a check in a child process without the powers of root, so that tests of permissions reach
// their fault also where the tests run as root (as in CI).
#include <functional>

namespace quillon::test {

// Forks; the child drops to the unprivileged user "nobody" (65534) when it is root, runs `body` and
// exits with its result. Returns the child's exit status, or -1 when it did not exit normally (or
// could not drop root: then it exits 125).
int RunUnprivileged(const std::function<int()>& body);

}  // namespace quillon::test
