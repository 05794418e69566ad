#include "app/QuillonApp.h"

#include <optional>

#include "app/CmdLineParser.h"
#include "app/QuillonDlg.h"
#include "app/Settings.h"
#include "platform/Profile.h"
#include "widgets/ThemeAccess.h"

CQuillonApp theApp;

CQuillonApp::CQuillonApp() : m_appName(u"Quillon")
{
}

CQuillonApp::~CQuillonApp() = default;

bool CQuillonApp::InitInstance()
{
    LoadThemeEntryPoints();
    theSettings.Load();

    std::optional<CCmdLineParser> parser;
    if (!m_commandLine.empty())
        parser.emplace(std::u16string_view(m_commandLine));

    SetProfileRegistryKey(u"Velvane\\Quillon 1.0", m_appName);

    if (parser) {
        if (std::optional<std::u16string> folder = parser->FindKey(u"Folder"))
            theSettings.m_Folder = *folder;
    }

    {
        CQuillonDlg dialog;
        m_pMainWnd = &dialog;
        dialog.DoModal();
        m_pMainWnd = nullptr;
    }

    theSettings.Save();
    return false;
}
