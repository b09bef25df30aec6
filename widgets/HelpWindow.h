#pragma once
// The help viewer of every program: the page of a topic, scrolled to the topic's heading.
#include "widgets/HelpTopics.h"

class QTextBrowser;
class QWidget;

// Shows the program's one help window (made on first use, as a window of `parent`) at the
// topic. Returns the viewer, or nullptr when the page was not found (the user is told where
// it was looked for).
QTextBrowser* ShowHelpTopic(QWidget* parent, THelpTopic topic);
