#pragma once
// Pieces every station dialog shares.
#include <QString>

class QDialog;

// F1 in the dialog opens the help page at the keyword.
void AddHelpKey(QDialog* dialog, const QString& keyword);
