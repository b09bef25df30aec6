#include "station/HelpWindow.h"

#include <QPointer>
#include <QTextBrowser>
#include <QUrl>

void ShowHelpTopic(QWidget* parent, const QString& keyword)
{
    static QPointer<QTextBrowser> viewer;
    if (!viewer) {
        viewer = new QTextBrowser(parent);
        viewer->setWindowFlag(Qt::Window);
        viewer->setAttribute(Qt::WA_DeleteOnClose);
        viewer->setWindowTitle("MOX-View Hilfe");
        viewer->resize(640, 520);
        viewer->setSource(QUrl("qrc:/help/mox_view.html"));
    }
    viewer->scrollToAnchor(keyword);
    viewer->show();
    viewer->raise();
}
