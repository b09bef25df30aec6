#include "station/dialogs/DialogParts.h"

#include <QDialog>
#include <QShortcut>

#include "station/HelpWindow.h"

void AddHelpKey(QDialog* dialog, const QString& keyword)
{
    auto* key = new QShortcut(QKeySequence::HelpContents, dialog);
    QObject::connect(key, &QShortcut::activated, dialog,
                     [dialog, keyword] { ShowHelpTopic(dialog, keyword); });
}
