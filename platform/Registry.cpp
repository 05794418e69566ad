#include "platform/Registry.h"

#include <array>
#include <cstring>
#include <optional>
#include <vector>

#include "platform/RegKey.h"
#include "platform/RegStore.h"

namespace {

// The path of `subKey` below `key`, or nullopt when a name is empty or cannot be stored, or
// the path is too deep.
std::optional<std::vector<std::u16string>> PathBelow(HKEY key, std::u16string_view subKey)
{
    std::vector<std::u16string> path = key->Path();
    if (subKey.empty())
        return path;
    size_t start = 0;
    for (;;) {
        const size_t slash = subKey.find(u'\\', start);
        std::u16string_view name = subKey.substr(start, slash == subKey.npos ? subKey.npos : slash - start);
        if (!CRegTree::IsValidKeyName(name) || path.size() >= CRegTree::kMaxDepth)
            return std::nullopt;
        path.emplace_back(name);
        if (slash == subKey.npos)
            return path;
        start = slash + 1;
    }
}

// The checks that opening and creating a key share: clears *result and gives the path of the
// subkey, or the error to return.
long CheckedPathBelow(HKEY key, std::u16string_view subKey, HKEY* result, std::vector<std::u16string>& path)
{
    if (!result)
        return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    if (!key)
        return ERROR_INVALID_HANDLE;
    auto below = PathBelow(key, subKey);
    if (!below)
        return ERROR_INVALID_PARAMETER;
    path = std::move(*below);
    return ERROR_SUCCESS;
}

}  // namespace

long RegOpenKeyEx(HKEY key, std::u16string_view subKey, uint32_t access, HKEY* result)
{
    std::vector<std::u16string> path;
    if (const long error = CheckedPathBelow(key, subKey, result, path))
        return error;
    if (!key->Store().Read()->Find(path))
        return ERROR_FILE_NOT_FOUND;
    *result = new CRegKey(key->StorePointer(), std::move(path), access, false);
    return ERROR_SUCCESS;
}

long RegCreateKeyEx(HKEY key, std::u16string_view subKey, uint32_t access, HKEY* result, bool* created)
{
    std::vector<std::u16string> path;
    if (const long error = CheckedPathBelow(key, subKey, result, path))
        return error;
    bool made = false;
    const long error = key->Store().Update([&](CRegTree& tree, bool& changed) {
        tree.Create(path, made);
        changed = made;
        return ERROR_SUCCESS;
    });
    if (error)
        return error;
    if (created)
        *created = made;
    *result = new CRegKey(key->StorePointer(), std::move(path), access, false);
    return ERROR_SUCCESS;
}

long RegCloseKey(HKEY key)
{
    if (!key)
        return ERROR_INVALID_HANDLE;
    if (!key->IsPredefined())
        delete key;
    return ERROR_SUCCESS;
}

long RegSetValueEx(HKEY key, std::u16string_view name, uint32_t type, const void* data, uint32_t size)
{
    if (!key)
        return ERROR_INVALID_HANDLE;
    if (!(key->Access() & KEY_SET_VALUE))
        return ERROR_ACCESS_DENIED;
    if (!data && size > 0)
        return ERROR_INVALID_PARAMETER;
    const std::string_view bytes(static_cast<const char*>(data), data ? size : 0);
    return key->Store().Update([&](CRegTree& tree, bool& changed) {
        CRegTree::Key* target = tree.Find(key->Path());
        if (!target)
            return ERROR_KEY_DELETED;
        changed = target->SetValue(name, type, bytes);
        return ERROR_SUCCESS;
    });
}

long RegQueryValueEx(HKEY key, std::u16string_view name, uint32_t* type, void* data, uint32_t* size)
{
    if (!key)
        return ERROR_INVALID_HANDLE;
    if (!(key->Access() & KEY_QUERY_VALUE))
        return ERROR_ACCESS_DENIED;
    if (data && !size)
        return ERROR_INVALID_PARAMETER;
    const auto tree = key->Store().Read();
    const CRegTree::Key* source = tree->Find(key->Path());
    if (!source)
        return ERROR_KEY_DELETED;
    const CRegTree::Value* value = source->FindValue(name);
    if (!value)
        return ERROR_FILE_NOT_FOUND;
    const auto needed = static_cast<uint32_t>(value->data.size());
    if (type)
        *type = value->type;
    if (data && *size < needed) {
        *size = needed;
        return ERROR_MORE_DATA;
    }
    if (data && needed > 0)
        std::memcpy(data, value->data.data(), needed);
    if (size)
        *size = needed;
    return ERROR_SUCCESS;
}

long RegSetStringValue(HKEY key, std::u16string_view name, std::u16string_view text)
{
    std::u16string terminated(text);
    const auto size = static_cast<uint32_t>((terminated.size() + 1) * sizeof(char16_t));
    return RegSetValueEx(key, name, REG_SZ, terminated.c_str(), size);
}

long RegQueryStringValue(HKEY key, std::u16string_view name, std::u16string& text, uint32_t* type)
{
    std::array<unsigned char, 200> first{};
    uint32_t size = static_cast<uint32_t>(first.size());
    long result = RegQueryValueEx(key, name, type, first.data(), &size);
    const unsigned char* bytes = first.data();
    std::vector<unsigned char> larger;
    if (result == ERROR_MORE_DATA) {
        larger.resize(size);
        result = RegQueryValueEx(key, name, type, larger.data(), &size);
        bytes = larger.data();
    }
    if (result != ERROR_SUCCESS)
        return result;
    std::u16string read;
    for (uint32_t i = 0; i + 1 < size; i += 2) {
        const auto unit = static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8));
        if (unit == u'\0')
            break;
        read.push_back(unit);
    }
    text = std::move(read);
    return ERROR_SUCCESS;
}

long RegEnumKeyEx(HKEY key, uint32_t index, std::u16string& name)
{
    if (!key)
        return ERROR_INVALID_HANDLE;
    if (!(key->Access() & KEY_QUERY_VALUE))
        return ERROR_ACCESS_DENIED;
    const auto tree = key->Store().Read();
    const CRegTree::Key* source = tree->Find(key->Path());
    if (!source)
        return ERROR_KEY_DELETED;
    if (index >= source->Subkeys().size())
        return ERROR_NO_MORE_ITEMS;
    name = source->Subkeys()[index]->Name();
    return ERROR_SUCCESS;
}
