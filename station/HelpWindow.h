#pragma once
// The help viewer: the help pages, opened at a topic keyword.
#include <QString>

class QWidget;

// Shows the help window (one per program) at the topic's anchor.
void ShowHelpTopic(QWidget* parent, const QString& keyword);
