#include "station/HelpWindow.h"

#include <QDir>
#include <QFile>
#include <QPointer>
#include <QTextBrowser>
#include <QUrl>

namespace {

// The help page that holds the topic's anchor; the overview page if none does.
QString PageOf(const QString& keyword)
{
    const QString anchor = "name=\"" + keyword.toHtmlEscaped() + "\"";
    for (const QString& page : QDir(":/help").entryList({"mox_view*.html"}, QDir::Files, QDir::Name)) {
        QFile f(":/help/" + page);
        if (f.open(QIODevice::ReadOnly) && QString::fromUtf8(f.readAll()).contains(anchor))
            return "qrc:/help/" + page;
    }
    return "qrc:/help/mox_view.html";
}

}  // namespace

void ShowHelpTopic(QWidget* parent, const QString& keyword)
{
    static QPointer<QTextBrowser> viewer;
    if (!viewer) {
        viewer = new QTextBrowser(parent);
        viewer->setWindowFlag(Qt::Window);
        viewer->setAttribute(Qt::WA_DeleteOnClose);
        viewer->setWindowTitle("MOX-View Hilfe");
        viewer->resize(640, 520);
    }
    const QUrl page(PageOf(keyword));
    if (viewer->source() != page) viewer->setSource(page);
    viewer->scrollToAnchor(keyword);
    viewer->show();
    viewer->raise();
}
