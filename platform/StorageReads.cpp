#include "platform/StorageReads.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

std::optional<uint64_t> StorageBytesRead()
{
    const int fd = open("/proc/self/io", O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    char text[512];
    const ssize_t got = read(fd, text, sizeof text - 1);
    close(fd);
    if (got <= 0)
        return std::nullopt;
    text[got] = '\0';
    const char* field = std::strstr(text, "\nread_bytes: ");
    if (!field)
        return std::nullopt;
    char* end = nullptr;
    const unsigned long long bytes = std::strtoull(field + std::strlen("\nread_bytes: "), &end, 10);
    if (end == field + std::strlen("\nread_bytes: "))
        return std::nullopt;
    return static_cast<uint64_t>(bytes);
}
