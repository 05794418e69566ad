#pragma once
// Temporary folders and small file helpers for tests. Paths are native byte strings.
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace quillon::test {

// A fresh folder under $TMPDIR (or /tmp), removed with everything in it on destruction.
class TempDir {
public:
    explicit TempDir(std::string_view tag = "quillon");
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return m_path; }
    // Path() + "/" + relative.
    std::string operator/(std::string_view relative) const;

private:
    std::string m_path;
};

// Creates the folder and every missing parent; throws std::runtime_error on failure.
void MakeDirs(const std::string& path);
// Writes the bytes into the file (creating parents), replacing it.
void WriteFile(const std::string& path, std::string_view content);
// Sets the file's modification time to the given seconds and nanoseconds since the epoch.
void SetMtime(const std::string& path, int64_t seconds, long nanoseconds = 0);
// Removes the tree below and including the path; missing paths are fine.
void RemoveTree(const std::string& path);
// The bytes of a file; throws when it cannot be read.
std::string ReadFile(const std::string& path);
// Whether anything (a link included, not followed) is at the path.
bool Exists(const std::string& path);
// The names in a folder as bytes, sorted, without "." and ".."; empty when it cannot be read.
std::vector<std::string> Entries(const std::string& folder);
// `length` pseudo-random bytes, the same for the same seed.
std::string RandomBytes(size_t length, unsigned seed);
// One part of Joined.
inline void AppendPart(std::string& text, std::string_view part)
{
    text.append(part);
}
inline void AppendPart(std::string& text, const char* part)
{
    text.append(part);
}
inline void AppendPart(std::string& text, const std::string& part)
{
    text.append(part);
}
template <typename Number, typename = std::enable_if_t<std::is_integral_v<Number>>>
void AppendPart(std::string& text, Number part)
{
    text.append(std::to_string(part));
}
// The parts joined: text as it is, numbers in decimal. ("f" + std::to_string(n) makes g++ 12 warn
// of overlapping copies at -O3 where there are none.)
template <typename... Parts>
std::string Joined(const Parts&... parts)
{
    std::string text;
    (AppendPart(text, parts), ...);
    return text;
}

}  // namespace quillon::test
