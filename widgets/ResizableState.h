#pragma once
// Companion of a resizable window: reads and writes texts of the window's state in the
// application profile, under the section given by the store name. Window thread only.
#include <string>
#include <string_view>

class CResizableState {
public:
    CResizableState();
    virtual ~CResizableState();

    // The store name new objects take: "ResizableState" unless changed. Process-wide.
    static std::u16string& DefaultStateStore();

    const std::u16string& StateStore() const { return m_sStateStore; }

protected:
    // The stored text of `id` (empty when missing); true when it is not empty.
    bool ReadStateText(std::u16string_view id, std::u16string& text) const;
    // Stores the text; false when the profile could not be written.
    bool WriteStateText(std::u16string_view id, std::u16string_view text) const;

private:
    std::u16string m_sStateStore;
};
