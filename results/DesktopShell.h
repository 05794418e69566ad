#pragma once
// Handing files of the results to the desktop: a file's "file:" URL with the exact bytes of its
// name, opening a file with the desktop's default application, showing files selected in the file
// manager (the org.freedesktop.FileManager1 ShowItems call over the session bus, or the folder
// itself when no file manager answers), and putting paths on the clipboard. The two ways out of
// the program (opening a URL, a D-Bus call) are replaceable, so that tests see exactly what would
// leave. Window thread only.
#include <QString>
#include <QUrl>

#include <functional>
#include <string_view>
#include <vector>

class QDBusMessage;
class QMimeData;

class CDesktopShell {
public:
    // Opens a URL with the desktop's handler; true when it was handed over (QDesktopServices).
    using UrlOpener = std::function<bool(const QUrl&)>;
    // Sends a method call and waits a short while for its answer; true when it succeeded.
    using BusCaller = std::function<bool(const QDBusMessage&)>;

    // The replaceable ways out; the defaults are the desktop's. Setting an empty function
    // restores the default.
    static void SetUrlOpener(UrlOpener opener);
    static void SetBusCaller(BusCaller caller);

    // "file://" and the path's native bytes, percent-encoded where a URL needs it (every byte
    // that is not UTF-8 among them), so the receiver finds exactly this file. Empty for an empty
    // or relative path.
    static QUrl FileUrl(std::u16string_view path);
    // The URL as text (fully encoded, plain ASCII).
    static QString FileUrlText(std::u16string_view path);

    // Opens the file with its default application; false when nothing took it.
    static bool Open(std::u16string_view path);
    // Asks the file manager to show the files selected in their folders (one ShowItems call);
    // when no file manager answers, opens the folder of the first file instead. False when
    // neither worked or `paths` is empty.
    static bool ShowInFolder(const std::vector<std::u16string_view>& paths);
    // The paths for the clipboard: as text, one a line (a byte that is not UTF-8 shows as a
    // replacement character there), and as a "text/uri-list" with their exact bytes.
    static QMimeData* PathsMimeData(const std::vector<std::u16string_view>& paths);
};
