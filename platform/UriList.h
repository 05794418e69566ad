#pragma once
// Reading the local paths out of dragged data in the "text/uri-list" form (RFC 2483): one URI a
// line, lines ending in CR LF (a bare LF is accepted), '#' starting a comment line. Any thread.
#include <string>
#include <string_view>
#include <vector>

// The local file paths of the list, in its order. Only "file:" URIs whose host is empty,
// "localhost" or this machine's name count; others (http:, remote hosts) are left out. Each path
// is percent-decoded to its exact bytes and then decoded with the lossless name codec, so a name
// that is not UTF-8 keeps every byte. A query or fragment is not part of the path. Paths that are
// not absolute or that would hold a NUL byte are left out. Never fails.
std::vector<std::u16string> LocalPathsFromUriList(std::string_view data);
