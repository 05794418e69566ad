#pragma once
// The string table. Any thread may call it.
#include <string_view>

// The text of string resource `id`, or an empty text when there is none.
std::u16string_view LoadStringResource(int id);
