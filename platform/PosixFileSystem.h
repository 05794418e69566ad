#pragma once
// The real file system through POSIX calls. Stateless: one instance may serve any thread. Paths
// of any length are opened (those longer than PATH_MAX piece by piece); an open listing or reader
// holds one descriptor.
#include "platform/FileSystem.h"

class CPosixFileSystem final : public IFileSystem {
public:
    std::unique_ptr<IDirListing> OpenFolder(std::u16string_view path) override;
    std::unique_ptr<IFileReader> OpenFile(std::u16string_view path) override;
    void WillRead(std::u16string_view path, uint64_t bytes) override;

    // The process-wide instance.
    static CPosixFileSystem& Instance();
};
