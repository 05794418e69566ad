#pragma once
// The application object: prepares what the window needs, reads the stored settings, applies
// the "Folder" switch of the command line, runs the main dialog modally, writes the settings
// back and ends. The program lives exactly as long as the dialog. Main thread only; a
// QApplication must exist before InitInstance runs.
#include <string>

class CQuillonDlg;

class CQuillonApp {
public:
    CQuillonApp();
    virtual ~CQuillonApp();

    // The process's command line as one text (program path and arguments, see
    // platform/CommandLine.h); empty when there is none. Set by main before InitInstance.
    void SetCommandLine(std::u16string commandLine) { m_commandLine = std::move(commandLine); }
    const std::u16string& CommandLine() const { return m_commandLine; }

    // The application's name in the profile: "Quillon".
    const std::u16string& AppName() const { return m_appName; }

    // Runs the whole program: theme state, settings loaded, the "Folder" switch, the main dialog
    // run modally, settings saved. Returns false: there is no message loop after it.
    virtual bool InitInstance();

    // The main dialog while it runs, nullptr otherwise.
    CQuillonDlg* MainWnd() const { return m_pMainWnd; }

private:
    std::u16string m_commandLine;
    std::u16string m_appName;
    CQuillonDlg* m_pMainWnd = nullptr;
};

extern CQuillonApp theApp;
