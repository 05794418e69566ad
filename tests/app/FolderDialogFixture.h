#pragma once
// A shown main dialog with no stored folders and a fresh temporary folder, for the tests of the
// main dialog, the folders list, the path edit's completion and the window menu.
#include <gtest/gtest.h>

#include <QTest>

#include <memory>
#include <string>

#include "app/QuillonDlg.h"
#include "app/Settings.h"
#include "engine/Catalogue.h"
#include "platform/NativeName.h"
#include "platform/Profile.h"
#include "res/ResourceIds.h"
#include "tests/support/TempDir.h"
#include "tests/widgets/QtTestEnvironment.h"

namespace quillon::test {

class FolderDialogTest : public testing::Test {
protected:
    void SetUp() override
    {
        SetProfileRegistryKey(u"Velvane\\Quillon 1.0", u"Quillon");
        theSettings.m_Folders.clear();
        theSettings.m_Folder.clear();
        g_duplicates.clear();
    }
    void TearDown() override
    {
        m_pDialog.reset();
        theSettings.m_Folders.clear();
        ResetCatalogue();
    }

    // Creates and shows the dialog (with the settings as the test left them), the focus where
    // the dialog put it.
    void Show()
    {
        m_pDialog = std::make_unique<CQuillonDlg>();
        ASSERT_TRUE(Dlg().Create());
        Dlg().show();
        Dlg().activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&Dlg()));
    }
    // Show, then the focus in the path edit.
    void Open()
    {
        ASSERT_NO_FATAL_FAILURE(Show());
        Edit().setFocus();
    }

    CQuillonDlg& Dlg() const { return *m_pDialog; }
    CACEdit& Edit() const { return m_pDialog->FolderEdit(); }
    CListControlMem& Folders() const { return m_pDialog->FoldersList(); }
    QWidget* Item(int id) const { return m_pDialog->GetDlgItem(id); }

    // A path below the temporary folder in the program's text form.
    std::u16string Path(std::string_view relative = {}) const
    {
        return DecodeNativeName(relative.empty() ? m_dir.Path() : m_dir / relative);
    }
    static QString Text(const std::u16string& path) { return QString::fromStdU16String(path); }

    TempDir m_dir{"quillon-folders"};
    std::unique_ptr<CQuillonDlg> m_pDialog;
};

}  // namespace quillon::test
