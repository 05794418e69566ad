#pragma once
// The per-user store in the shape of a registry: keys addressed by backslash-separated paths
// under a root, each key holding named values (REG_SZ, REG_DWORD or any other type as raw bytes)
// and subkeys. Key and value names compare with the letters A–Z folded, and keep the case they
// were created with. The store lives in one text file (see CRegStore); every call that changes
// something is applied to the file as it is on disk under a file lock and replaces it atomically.
// A handle names a key by its path: it stays usable while other programs change the store.
//
// The calls return 0 or an error code with the numbers of the registry. Any thread may call them;
// a handle must not be closed while another thread uses it.
#include <cstdint>
#include <string>
#include <string_view>

constexpr long ERROR_SUCCESS = 0;
constexpr long ERROR_FILE_NOT_FOUND = 2;  // the key or value does not exist
constexpr long ERROR_PATH_NOT_FOUND = 3;  // no place for the store (no home folder)
constexpr long ERROR_ACCESS_DENIED = 5;   // the handle lacks the access, or the file cannot be written
constexpr long ERROR_INVALID_HANDLE = 6;
constexpr long ERROR_WRITE_FAULT = 29;
constexpr long ERROR_LOCK_VIOLATION = 33;  // another program held the store's lock too long
constexpr long ERROR_INVALID_PARAMETER = 87;
constexpr long ERROR_DISK_FULL = 112;
constexpr long ERROR_MORE_DATA = 234;      // the caller's buffer is too small; the size says what is needed
constexpr long ERROR_NO_MORE_ITEMS = 259;  // an enumeration index past the last item
constexpr long ERROR_KEY_DELETED = 1018;   // the key of an open handle was removed from the store

constexpr uint32_t REG_NONE = 0;
constexpr uint32_t REG_SZ = 1;
constexpr uint32_t REG_BINARY = 3;
constexpr uint32_t REG_DWORD = 4;

constexpr uint32_t KEY_QUERY_VALUE = 0x0001;
constexpr uint32_t KEY_SET_VALUE = 0x0002;
constexpr uint32_t KEY_CREATE_SUB_KEY = 0x0004;
constexpr uint32_t KEY_READ = 0x20019;
constexpr uint32_t KEY_WRITE = 0x20006;
constexpr uint32_t KEY_ALL_ACCESS = 0xF003F;

class CRegKey;
using HKEY = CRegKey*;

// The root of the current user's store (the file under ${XDG_CONFIG_HOME:-$HOME/.config}).
extern CRegKey g_currentUserKey;
inline HKEY const HKEY_CURRENT_USER = &g_currentUserKey;

// Opens the existing key `subKey` below `key` (an empty subKey opens `key` again). Fails with
// ERROR_FILE_NOT_FOUND when it does not exist, ERROR_INVALID_PARAMETER for a path with an empty
// component or a name that cannot be stored. On success *result is a new handle to close.
long RegOpenKeyEx(HKEY key, std::u16string_view subKey, uint32_t access, HKEY* result);

// Opens `subKey` below `key`, creating it and every missing key on the way. *created (optional)
// tells whether the key was new. Nothing is written when the key already exists.
long RegCreateKeyEx(HKEY key, std::u16string_view subKey, uint32_t access, HKEY* result, bool* created = nullptr);

// Releases a handle from RegOpenKeyEx/RegCreateKeyEx. Closing a root does nothing.
long RegCloseKey(HKEY key);

// Sets the value `name` (empty: the key's default value) to `size` bytes of `data` with the given
// type. Strings are stored as the caller gives them, normally with their terminating null
// (2 × (characters + 1) bytes). Needs KEY_SET_VALUE access.
long RegSetValueEx(HKEY key, std::u16string_view name, uint32_t type, const void* data, uint32_t size);

// Reads the value `name`. `type`, `data` and `size` may each be null. With a null `data` and a
// `size`, *size becomes the needed byte count. When *size is smaller than the value, the answer
// is ERROR_MORE_DATA with *size set to the needed count and the buffer left untouched; otherwise
// the bytes are copied and *size is set to their count. Needs KEY_QUERY_VALUE access.
long RegQueryValueEx(HKEY key, std::u16string_view name, uint32_t* type, void* data, uint32_t* size);

// Writes `text` as the REG_SZ value `name`, followed by its terminating null (2 × (characters + 1)
// bytes). Returns what RegSetValueEx returns.
long RegSetStringValue(HKEY key, std::u16string_view name, std::u16string_view text);

// Reads the value `name` as text: first into 200 bytes, again into a buffer of the reported size
// when that was too small. The bytes are UTF-16 code units, least significant byte first; the text
// ends at the first null or with the bytes (an odd last byte is dropped). The value's type is not
// examined: it is put in *type when `type` is not null. On success `text` is replaced and 0 is
// returned; otherwise `text` is left as it was and RegQueryValueEx's error is returned.
long RegQueryStringValue(HKEY key, std::u16string_view name, std::u16string& text, uint32_t* type = nullptr);

// The name of the subkey at `index` (0, 1, ...) of `key`, in the order the subkeys were added,
// in `name`. ERROR_NO_MORE_ITEMS when index is past the last one. Needs KEY_QUERY_VALUE access
// (part of KEY_READ).
long RegEnumKeyEx(HKEY key, uint32_t index, std::u16string& name);
