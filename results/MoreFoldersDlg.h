#pragma once
// The whole list of the Folders menu when the menu shows only its first entries: a filter edit
// above the list (the shown entries are those that contain the typed text, letter case ignored)
// and OK / Cancel. A double click on an entry, or Enter with an entry current, picks it. Window
// thread only.
#include <QDialog>
#include <QString>

#include <vector>

class QLineEdit;
class QListWidget;

class CMoreFoldersDlg : public QDialog {
    Q_OBJECT
public:
    // `entries` are the texts of the Folders menu in its order.
    explicit CMoreFoldersDlg(std::vector<QString> entries, QWidget* parent = nullptr);
    ~CMoreFoldersDlg() override;

    // The index (into the entries) of the picked entry after the dialog was accepted, else -1.
    int Picked() const { return result() == QDialog::Accepted ? m_picked : -1; }

    QLineEdit& Filter() const { return *m_pFilter; }
    QListWidget& List() const { return *m_pList; }

    void accept() override;

private:
    void ApplyFilter(const QString& text);

    std::vector<QString> m_entries;
    QLineEdit* m_pFilter = nullptr;
    QListWidget* m_pList = nullptr;
    int m_picked = -1;
};
