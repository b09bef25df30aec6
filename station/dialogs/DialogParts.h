#pragma once
// Pieces every station dialog shares.
#include <initializer_list>

#include "widgets/HelpTopics.h"
#include "widgets/WaitCursor.h"

class QDialog;
class QHBoxLayout;
class QPushButton;
class QWidget;

// F1 in the dialog opens the help at the topic.
void AddHelpKey(QDialog* dialog, THelpTopic topic);

// A row of `leading` buttons, then, at the right, "OK" (the default button) and "Abbruch".
QHBoxLayout* OkCancelRow(QPushButton*& ok, QPushButton*& cancel, std::initializer_list<QPushButton*> leading = {});

// Puts the window in the middle of the free part of its screen (without task bars and panels),
// wherever the main window stands. Called from showEvent, before the dialog's own placing.
void CentreOnDesktop(QWidget* window);
