// quillon-window-search [--no-cache] FOLDER...: one whole search driven through the real main window
// (offscreen unless QT_QPA_PLATFORM says otherwise), from the click on "Search for Duplicates"
// to the filled results list; prints the totals of the status bar and the processor time the
// window thread used (what the window adds to the search). To time as a whole command
// against quillon-find on the same tree, e.g.
//   hyperfine -w1 'build/bench/quillon-window-search TREE' 'build/cli/quillon-find --no-progress TREE'
// The user's settings are neither read nor written; --no-cache leaves the digest cache kept
// between runs alone, as quillon-find --no-cache does.
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

#include "app/QuillonDlg.h"
#include "app/Settings.h"
#include "engine/DigestStore.h"
#include "platform/NativeName.h"
#include "platform/PathRules.h"
#include "res/ResourceIds.h"

int main(int argc, char** argv)
{
    int first = 1;
    if (argc > 1 && std::string(argv[1]) == "--no-cache") {
        g_digestStore = nullptr;
        first = 2;
    }
    if (argc <= first) {
        std::fprintf(stderr, "usage: quillon-window-search [--no-cache] FOLDER...\n");
        return 2;
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("XDG_CONFIG_HOME", "/nonexistent-quillon-bench", 1);
    QApplication app(argc, argv);
    for (int i = first; i < argc; ++i) {
        std::u16string folder = DecodeNativeName(argv[i]);
        AddTrailingBackslash(folder);
        theSettings.m_Folders.emplace_back(std::move(folder));
    }
    CQuillonDlg dialog;
    dialog.Create();
    dialog.show();
    QTest::mouseClick(dialog.GetDlgItem(IDC_BUTTON_SEARCH), Qt::LeftButton);
    while (dialog.IsSearching())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    timespec windowThread{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &windowThread);
    std::printf("%s  %s  %s  %s  window thread: %.3f s\n", qPrintable(dialog.StatusPane(1)->text()),
                qPrintable(dialog.StatusPane(2)->text()), qPrintable(dialog.StatusPane(3)->text()),
                qPrintable(dialog.StatusPane(4)->text()), windowThread.tv_sec + windowThread.tv_nsec / 1e9);
    return 0;
}
