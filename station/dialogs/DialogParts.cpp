#include "station/dialogs/DialogParts.h"

#include <QApplication>
#include <QDialog>
#include <QHBoxLayout>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>

#include "widgets/HelpWindow.h"

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

void CentreOnDesktop(QWidget* window)
{
    const QWidget* anchor = window->parentWidget() ? window->parentWidget()->window() : window;
    const QScreen* screen = anchor->screen();
    if (!screen) return;
    // The frame is known only once the window has been shown; until then the client size.
    const QSize size = window->frameGeometry().size().expandedTo(window->size());
    const QRect free = screen->availableGeometry();
    window->move(free.x() + (free.width() - size.width()) / 2, free.y() + (free.height() - size.height()) / 2);
}
