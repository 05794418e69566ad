// quillon-storeclose: what the program writes to the per-user store when it closes, once: the
// window placement through the profile, then the settings with 12 folders. The store is the
// current user's (${XDG_CONFIG_HOME:-$HOME/.config}/velvane/quillon.reg). Every run writes
// numbers of its own (the process id), so every run really rewrites the store.
//
//   quillon-storeclose --make-store MB   first fills the store with about MB megabytes of other
//                                        programs' keys (replacing it), then closes once
//   quillon-storeclose                   closes once
//
// Time it from outside, e.g. with /usr/bin/time or bench/store-close.sh.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/Settings.h"
#include "platform/Profile.h"
#include "platform/RegStore.h"
#include "platform/StoreFile.h"
#include "platform/Utf16Text.h"

namespace {

// A store of about `megabytes` MB: keys of other programs, each with a few texts and numbers.
long MakeStore(long megabytes)
{
    std::string text = "Windows Registry Editor Version 5.00\n";
    const size_t wanted = static_cast<size_t>(megabytes) * 1000 * 1000;
    for (long key = 0; text.size() < wanted; ++key) {
        text += "\n[HKEY_CURRENT_USER\\Software\\Other Vendor\\Program " + std::to_string(key / 100) + "\\Section " +
            std::to_string(key % 100) + "]\n";
        for (int value = 0; value < 8; ++value) {
            text += "\"Recent file " + std::to_string(value) + "\"=\"/home/ann/Documents/project " + std::to_string(key) +
                "/notes " + std::to_string(value) + ".txt\"\n";
            text += "\"Counter " + std::to_string(value) + "\"=dword:" + std::to_string(10000000 + key) + "\n";
        }
    }
    return CStoreFile(CRegStore::DefaultFilePath()).Apply([&](const std::string&, std::string& replacement, bool& write) {
        replacement = std::move(text);
        write = true;
        return 0L;
    });
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--make-store") == 0) {
        if (long error = MakeStore(std::atol(argv[2]))) {
            std::fprintf(stderr, "quillon-storeclose: cannot write the store (error %ld)\n", error);
            return 1;
        }
    } else if (argc != 1) {
        std::fprintf(stderr, "usage: quillon-storeclose [--make-store MB]\n");
        return 2;
    }
    const std::string run = std::to_string(getpid());
    SetProfileRegistryKey(u"Velvane\\Quillon 1.0", u"Quillon");
    const bool placed = WriteProfileString(u"ResizableState", u"QuillonWindowPlacement", Utf16("100,80,1100,880,1,0,-1," + run));
    for (int i = 0; i < 12; ++i)
        theSettings.m_Folders.emplace_back(Utf16("/home/ann/folder " + std::to_string(i) + "/" + run + "/"));
    theSettings.m_Folder = Utf16("/home/ann/" + run);
    const long saved = theSettings.Save();
    if (!placed || saved != 0) {
        std::fprintf(stderr, "quillon-storeclose: the store was not written (error %ld)\n", saved);
        return 1;
    }
    return 0;
}
