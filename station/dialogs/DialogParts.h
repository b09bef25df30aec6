#pragma once
// Pieces every station dialog shares.
#include <initializer_list>

#include "station/HelpTopics.h"

class QDialog;
class QHBoxLayout;
class QPushButton;

// F1 in the dialog opens the help at the topic.
void AddHelpKey(QDialog* dialog, THelpTopic topic);

// A row of `leading` buttons, then, at the right, "OK" (the default button) and "Abbruch".
QHBoxLayout* OkCancelRow(QPushButton*& ok, QPushButton*& cancel,
                         std::initializer_list<QPushButton*> leading = {});
