#include "widgets/HelpWindow.h"

#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QPointer>
#include <QShortcut>
#include <QTextBrowser>
#include <QUrl>

#include "mox/rtl/HelpPages.h"

QTextBrowser* ShowHelpTopic(QWidget* parent, THelpTopic topic)
{
    const THelpPlace& place = HelpPlace(topic);
    const QString folder = QString::fromStdString(HelpFolder());
    const QString page = QDir(folder).filePath(place.Page);
    if (folder.isEmpty() || !QFileInfo(page).isFile()) {
        QMessageBox::warning(parent, "Hilfe",
                             QString("Die Hilfeseite %1 wurde nicht gefunden (gesucht in %2).")
                                 .arg(place.Page, folder.isEmpty() ? "den Hilfeordnern der Installation" : folder));
        return nullptr;
    }
    static QPointer<QTextBrowser> viewer;
    if (!viewer) {
        viewer = new QTextBrowser(parent);
        viewer->setObjectName("HelpBrowser");
        viewer->setWindowFlag(Qt::Window);
        viewer->setOpenExternalLinks(true);
        viewer->resize(640, 520);
        // A help window closes as dialogs do.
        new QShortcut(Qt::Key_Escape, viewer, [] { viewer->close(); });
    } else if (viewer->parentWidget() != parent) {
        // A modal dialog blocks every window but its own: the viewer joins the one asking.
        viewer->setParent(parent, viewer->windowFlags());
    }
    const QUrl url = QUrl::fromLocalFile(page);
    if (viewer->source() != url) viewer->setSource(url);
    viewer->setWindowTitle(viewer->documentTitle().isEmpty() ? "MOX Hilfe" : viewer->documentTitle());
    // Shown first: the anchor's place depends on the laid-out width of the window.
    viewer->show();
    viewer->raise();
    viewer->scrollToAnchor(QString::fromUtf8(place.Keyword));
    return viewer;
}
