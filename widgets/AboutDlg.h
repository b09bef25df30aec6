#pragma once
// The "about" window of every program: a picture beside a few words on the program, and OK.
#include <QDialog>
#include <QPixmap>
#include <QString>

class TAboutDlg : public QDialog {
public:
    // `text` in rich text; `picture`: the program's own, else a small magnetogram.
    TAboutDlg(QWidget* parent, const QString& caption, const QString& text, const QPixmap& picture = {});
};
