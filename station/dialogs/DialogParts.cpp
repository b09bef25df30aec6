#include "station/dialogs/DialogParts.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QPushButton>
#include <QShortcut>

#include "station/HelpWindow.h"

void AddHelpKey(QDialog* dialog, THelpTopic topic)
{
    auto* key = new QShortcut(QKeySequence::HelpContents, dialog);
    QObject::connect(key, &QShortcut::activated, dialog, [dialog, topic] { ShowHelpTopic(dialog, topic); });
}

QHBoxLayout* OkCancelRow(QPushButton*& ok, QPushButton*& cancel, std::initializer_list<QPushButton*> leading)
{
    ok = new QPushButton("OK");
    ok->setDefault(true);
    cancel = new QPushButton("Abbruch");
    auto* row = new QHBoxLayout;
    for (QPushButton* b : leading) row->addWidget(b);
    row->addStretch();
    row->addWidget(ok);
    row->addWidget(cancel);
    return row;
}
