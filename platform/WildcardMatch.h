#pragma once
#include <string_view>

// Matches a whole path against a pattern text: '*' matches any run of characters (also none,
// also separators), '?' exactly one, every other character itself with the letters A to Z
// folded. The text may hold several patterns separated by ';' (blanks before each are
// ignored); the path matches when any of them does. "*.*" matches every path; an empty pattern
// matches nothing. Any thread may call it.
bool MatchSpec(std::u16string_view path, std::u16string_view patterns);
