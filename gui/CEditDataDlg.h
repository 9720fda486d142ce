#pragma once
// "edit data": edits the number, name and speak text of one directory entry in place. Its texts
// are Windows-1252; the boxes refuse characters that the files cannot hold.

#include "data/CallList.h"

#include <QDialog>

#include <utility>
#include <vector>

class QLabel;
class QLineEdit;
class QPushButton;

class CEditDataDlg : public QDialog {
    Q_OBJECT
public:
    // `entry` must outlive the dialog. With hideSpeakText the speak box is hidden and OK leaves
    // the entry's speakText as it was.
    CEditDataDlg(DirectoryEntry& entry, bool hideSpeakText, QWidget* parent = nullptr);

    void accept() override;

private:
    void LayOut(const std::vector<std::pair<QLabel*, QLineEdit*>>& rows, QPushButton* ok,
                QPushButton* cancel);

    DirectoryEntry& entry;
    bool hideSpeakText;
    QLineEdit* numberBox;
    QLineEdit* nameBox;
    QLineEdit* speakBox;
    QLabel* speakLabel;
};
