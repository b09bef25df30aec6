#include "browser/HelpViewer.h"

#include <QPointer>
#include <QTextBrowser>
#include <QUrl>

void ShowBrowserHelp(QWidget* parent, const QString& keyword)
{
    static QPointer<QTextBrowser> viewer;
    if (!viewer) {
        viewer = new QTextBrowser(parent);
        viewer->setObjectName("HelpViewer");
        viewer->setWindowFlag(Qt::Window);
        viewer->setAttribute(Qt::WA_DeleteOnClose);
        viewer->setWindowTitle("MOX_Browser Help");
        viewer->resize(600, 500);
        viewer->setSource(QUrl("qrc:/help/mox_browser.html"));
    }
    viewer->scrollToAnchor(keyword);
    viewer->show();
    viewer->raise();
}
