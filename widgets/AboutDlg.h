#pragma once
// The About box (template 100): the banner, the version, the time stamp of the build, a notice
// and a link to the home page. A new box is made for every showing; OK and Esc close it. Window
// thread only.
#include <string>

#include "widgets/Dialog.h"
#include "widgets/HyperLink.h"

class CAboutDlg : public CDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
    ~CAboutDlg() override;

    // The version shown: major and minor of the project's version ("1.10").
    static const char* VersionText();
    // When this program was built, as "Mon Oct 26 16:42:20 2020" (the compiler's build date and
    // time, which follow SOURCE_DATE_EPOCH when it is set, so a reproducible build shows the same).
    static std::string BuildTimeText();
    // The compiler's __DATE__ ("Oct 26 2020") and __TIME__ ("16:42:20") in the form above, with
    // the weekday worked out; an empty text when either is malformed.
    static std::string FormatBuildTime(const char* date, const char* time);

    std::u16string m_strVersion;
    std::u16string m_strBuildTime;
    CHyperLink m_link;

protected:
    void DoDataExchange(CDataExchange& dx) override;
    bool OnInitDialog() override;

private:
    // A banner larger than its picture control is scaled down to fit, keeping its proportions.
    void FitBanner();
};
