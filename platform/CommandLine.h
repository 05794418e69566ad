#pragma once
// The process's command line as one UTF-16 text: the program's path and its arguments joined by
// blanks. An argument that holds a blank is written the way a shell user would have had to quote
// it: the part after its first colon in double quotes ("/folder:/My Photos" becomes
// /folder:"/My Photos"), or the whole argument in double quotes when it has no colon. So both
// `quillon "/folder:/My Photos"` and `quillon /folder:"/My Photos"` hand the whole path to the
// command-line parser. Arguments are decoded losslessly (see NativeName.h). Any thread.
#include <string>

std::u16string JoinCommandLine(int argc, const char* const* argv);
