#pragma once
// Base of every object that is kept in the per-user store: it moves all its members between
// memory and an open key in one operation, Exchange. Main thread only.
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <variant>

#include "platform/Registry.h"

class CRegSettings {
public:
    // An argument of a key-path pattern: an integer for %i, %d and %u, a text for %s.
    using PatternArg = std::variant<long long, std::u16string_view>;

    // The key path is the pattern with its arguments put in (printf style: %i, %d, %u, %s and
    // %%; a conversion without an argument stays as it is written). Objects exchanged under a
    // key their owner opened have an empty path and a null root.
    CRegSettings(HKEY root, std::u16string_view pattern, std::initializer_list<PatternArg> args = {});
    virtual ~CRegSettings() = default;

    // Moves every member between the object and `key`: loads (save false), loads the defaults
    // without touching the store (save false, useDefaults true; `key` may be null) or saves
    // (save true). Returns 0 or the store's error code of the call that failed.
    virtual long Exchange(HKEY key, bool save, bool useDefaults) = 0;
    // Called at the start of a save and at the end of a load; they do nothing here.
    virtual void OnBeforeSave() {}
    virtual void OnAfterLoad() {}

    // Loads from the key path under the root: when the key opens for reading, exchanges with it,
    // otherwise loads the defaults. Returns Exchange's result or the open error.
    long Load();
    // Saves to the key path under the root, creating it when missing; nothing is saved when it
    // cannot be created. All of it is one change of the store's file (one rewrite). Returns
    // Exchange's result, the create error, or the store's error (then nothing was saved).
    long Save();

    // Whether reading the root's store skipped anything (see CRegText::Damage); false without
    // a root.
    bool StoreIsDamaged() const;
    // The line to show the person about a damaged store, empty when there is nothing to say
    // (see CRegStore::DamageNotice).
    std::u16string StoreNotice() const;

    const std::u16string& KeyPath() const { return m_keyPath; }
    HKEY Root() const { return m_root; }

    // The pattern with its arguments put in (see the constructor).
    static std::u16string FormatPattern(std::u16string_view pattern, std::initializer_list<PatternArg> args);

protected:
    // The exchange of one text member, the value `name` of `key`: a save writes it as REG_SZ with
    // its null (RegSetStringValue); loading the defaults empties it; a load reads it
    // (RegQueryStringValue, whatever the value's type) and empties it when it cannot be read.
    // Returns 0 or the store's error of the write or the read.
    static long ExchangeString(HKEY key, bool save, bool useDefaults, std::u16string_view name, std::u16string& text);

private:
    std::u16string m_keyPath;
    HKEY m_root = nullptr;
};
