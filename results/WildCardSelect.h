#pragma once
// The pattern dialog of the "Wildcards" command (template 160): one edit for the pattern text,
// OK and Cancel. OK reads the edit into m_strPattern and ends with IDOK; Cancel ends with
// IDCANCEL. Make a new one for every use so that the edit starts empty. Window thread only.
#include <string>

#include "widgets/Dialog.h"

class CWildCardSelect : public CDialog {
    Q_OBJECT
public:
    explicit CWildCardSelect(QWidget* parent = nullptr);
    ~CWildCardSelect() override;

    std::u16string m_strPattern;

protected:
    void DoDataExchange(CDataExchange& dx) override;
    // Names the edit and describes the pattern syntax for screen readers.
    bool OnInitDialog() override;
};
