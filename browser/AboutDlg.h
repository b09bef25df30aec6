#pragma once
// About box of the browser: the station's logo and a few words on the program.
#include <QDialog>

class TAboutDlg : public QDialog {
public:
    TAboutDlg(const QString& caption, QWidget* parent = nullptr);
};
