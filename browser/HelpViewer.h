#pragma once
// The browser's help page, opened at a topic keyword (an anchor of the page).
#include <QString>

class QWidget;

void ShowBrowserHelp(QWidget* parent, const QString& keyword);
