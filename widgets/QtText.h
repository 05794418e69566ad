#pragma once
// The program's UTF-16 text as Qt text. Any thread may call it.
#include <QString>

#include <string_view>

// The text as a QString, code unit for code unit (a lone surrogate stays as it is).
inline QString ToQString(std::u16string_view text)
{
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}
