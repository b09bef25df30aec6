#pragma once
// Pieces every station dialog shares.
#include <QString>
#include <initializer_list>

class QDialog;
class QHBoxLayout;
class QPushButton;
class QWidget;

// F1 in the dialog opens the help page at the keyword.
void AddHelpKey(QDialog* dialog, const QString& keyword);

// A row of `leading` buttons, then, at the right, "OK" (the default button) and "Abbruch".
QHBoxLayout* OkCancelRow(QPushButton*& ok, QPushButton*& cancel,
                         std::initializer_list<QPushButton*> leading = {});

// Puts the window in the middle of the free part of its screen (without task bars and panels),
// wherever the main window stands. Called from showEvent, before the dialog's own placing.
void CentreOnDesktop(QWidget* window);
