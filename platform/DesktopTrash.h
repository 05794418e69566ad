#pragma once
// Moving files to the desktop trash, in the freedesktop.org layout that file managers and trash-cli
// share, by the bytes of their paths: any file name, in any folder, whether or not it is UTF-8.
//
// A file goes to the trash of its own file system, so that it is only ever renamed: the home trash
// ("Trash" in $XDG_DATA_HOME, default ~/.local/share) for a file on the file system of the home
// trash, otherwise the trash at the top of the file's mount: "$top/.Trash/$UID" when "$top/.Trash"
// is a folder (not a link) with the sticky bit set, else "$top/.Trash-$UID". A trash folder of
// the mount is used only while it is a folder of this user and not a link (and so are its "files"
// and "info"). A move first creates "info/NAME.trashinfo" with O_EXCL (which makes NAME this
// move's own), with the original path percent-encoded byte by byte ("Path=", absolute in the home
// trash, relative to $top in a mount's trash) and the local "DeletionDate=", then renames the file
// to "files/NAME" without ever replacing anything there. NAME is the file's own name, or
// "STEM.2.EXT", "STEM.3.EXT"... when that is taken (shortened so that NAME.trashinfo fits in a
// name). The file is never copied and never deleted: where no trash on its file system can take
// it, it stays and the move says so. Folders are not moved.
//
// Any thread; one move at a time per instance.
#include <sys/types.h>

#include <string>
#include <string_view>

#include "platform/FileSystem.h"

class CDesktopTrash {
public:
    enum class Status {
        Moved,    // in the trash, at `location`
        Gone,     // nothing is at the path
        Changed,  // what was moved was not the file expected; put back (or, failing that, at `location`)
        NoTrash,  // no trash of its file system can take it (`trash` is the one refused, `error` why); it stays
        Failed,   // the move failed (`error`); it stays
    };
    struct Result {
        Status status = Status::Failed;
        int error = 0;         // errno behind NoTrash and Failed; 0 when a check refused the trash
        std::string location;  // "<trash>/files/NAME", once moved
        std::string trash;     // the trash folder used, or the last one refused
    };

    // `dataHome` holds the home trash; empty: $XDG_DATA_HOME when it is absolute, else
    // $HOME/.local/share.
    explicit CDesktopTrash(std::string dataHome = {});

    const std::string& DataHome() const { return m_dataHome; }
    // "<data home>/Trash".
    std::string HomeTrash() const;

    // Makes the data folder (and its parents, mode 0700) and the home trash with its "files" and
    // "info" where they are missing. 0, or the errno of what could not be made.
    int PrepareHome() const;

    // Moves the file at `path` (absolute) to the trash of its file system, as described above.
    // With `expected`, the entry moved must have that identity: one that does not (the path was
    // given another file after the caller last checked it) is moved back to `path` and the move
    // answers Changed.
    Result Move(const std::string& path, const FileIdentity* expected = nullptr) const;

    // The bytes with every byte but A-Z a-z 0-9 - . _ ~ / written as %XX.
    static std::string PercentEncoded(std::string_view bytes);

    // $XDG_DATA_HOME when it is absolute, else $HOME/.local/share (the home of the user's
    // account when HOME is not set); empty when none is known.
    static std::string DefaultDataHome();

private:
    struct Target {
        std::string trash;      // the trash folder
        std::string pathValue;  // what "Path=" says, before encoding
    };
    Result MoveInto(const Target& target, const std::string& path, const FileIdentity* expected) const;
    // Makes the trash of a mount and its "files" and "info" where missing; 0 when all three are
    // folders of this user (not links), else the errno of what failed, or -1 when a check failed.
    int UsableMountTrash(const std::string& trash) const;

    std::string m_dataHome;
    uid_t m_uid;
};
