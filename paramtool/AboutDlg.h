#pragma once

#include <QDialog>

// "Über...": caption, a picture, a fixed text and OK.
class TAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit TAboutDlg(QWidget* parent = nullptr);
};
