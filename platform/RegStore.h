#pragma once
// The per-user store: the tree of keys and values of one file in the text form of CRegText,
// read and changed through CStoreFile (file lock, atomic replace). Reading parses the file again
// only when it was replaced or changed since the last read.
//
// Nothing the file held is lost by a change: comments and lines the reader does not understand
// stay in place, and before a file whose reading skipped something is first replaced, its bytes
// are kept beside it (CStoreFile::KeepCopy), unless the newest copy already holds every line
// that was skipped. When that copy cannot be written, the file is not replaced. A read-only file
// is never replaced.
//
// Any thread may call; one mutex guards the cached contents. A batch belongs to the thread that
// runs it; other threads' changes wait for its file lock.
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/RegKey.h"
#include "platform/RegText.h"
#include "platform/RegTree.h"
#include "platform/StoreFile.h"

class CRegStore {
public:
    // The store kept in that file.
    explicit CRegStore(std::string filePath);
    CRegStore(const CRegStore&) = delete;
    CRegStore& operator=(const CRegStore&) = delete;

    // The current user's store. Its file is looked up again at every call (DefaultFilePath), so
    // a change of XDG_CONFIG_HOME takes effect at once.
    static CRegStore& CurrentUser();
    // ${XDG_CONFIG_HOME:-$HOME/.config}/velvane/quillon.reg (a relative XDG_CONFIG_HOME is
    // ignored, as the base-directory rules ask; without HOME the password database gives the
    // home folder). Empty when no home folder is known.
    static std::string DefaultFilePath();

    // The file of this store now.
    std::string FilePath() const;
    // The contents as they are on disk now (inside a batch on its thread: as the batch has made
    // them so far). Never fails: a missing file is an empty store, a damaged one gives what
    // could be read.
    std::shared_ptr<const CRegTree> Read() const;
    // Applies `change` to the contents as they are on disk, under the file lock. When it returns
    // 0 and sets `changed`, the file is replaced (keeping a copy first, see above). Returns 0,
    // the change's error, or the error of writing (see CStoreFile::Apply). Inside a batch on
    // its thread, the change applies to the batch's contents and nothing is written yet.
    long Update(const std::function<long(CRegTree& tree, bool& changed)>& change);
    // Runs `work` as one change of the file: one lock, one read, and at the end one
    // replacement when any Update of the work changed something, so a save of many values costs
    // one rewrite and no other program's change can come between them. Returns the error of
    // taking the lock or writing (then `work` may not have run and nothing is written), or else
    // what `work` returned. A batch inside a batch just runs its work.
    long Batch(const std::function<long()>& work);

    // What reading the file as it is now skipped (see CRegText::Damage).
    CRegText::Damage Damage() const;
    // One line for the person when the file is damaged and its damage is not yet kept in a copy
    // (it will be before the file is next replaced); empty otherwise.
    std::u16string DamageNotice() const;

    // The root key of this store: a handle that needs no closing.
    HKEY Root();

private:
    // The cached contents of the file as it is now, and what reading it skipped.
    std::shared_ptr<const CRegTree> ReadCached(CRegText::Damage* damage) const;
    // The bytes of a change's result, after keeping a copy of `current` when `damage` asks for
    // one. Returns 0 or the copy's error (then nothing may be written).
    static long Finish(const CStoreFile& file, const std::string& current, const CRegText::Damage& damage, const CRegTree& tree,
                       std::string& replacement, bool& write);
    // Whether replacing the file would lose something no copy holds yet.
    static bool NeedsCopy(const CStoreFile& file, const CRegText::Damage& damage);

    bool m_currentUser = false;
    std::string m_filePath;
    CRegKey m_root;

    mutable std::mutex m_mutex;
    mutable std::string m_cachedPath;
    mutable CStoreFile::Stamp m_cachedStamp;
    mutable std::shared_ptr<const CRegTree> m_cachedTree;
    mutable CRegText::Damage m_cachedDamage;

    // The running batch: its thread, its contents and whether they changed. Only that thread
    // touches the two pointers.
    std::atomic<std::thread::id> m_batchThread{};
    CRegTree* m_batchTree = nullptr;
    bool* m_batchChanged = nullptr;
};
