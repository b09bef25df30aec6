#pragma once
// Names the program and the project and tells where to read about them.
#include <QDialog>

class TAboutDlg : public QDialog {
public:
    explicit TAboutDlg(QWidget* parent);
};
