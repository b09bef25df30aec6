#include "widgets/GermanQt.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

bool InstallGermanQtTranslations(QCoreApplication& app)
{
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    bool all = true;
    // qtbase: dialogs, buttons, menus; qtserialport: the port's own error texts.
    for (const char* catalogue : {"qtbase_de", "qtserialport_de"}) {
        auto* translator = new QTranslator(&app);
        if (translator->load(catalogue, folder) && QCoreApplication::installTranslator(translator)) continue;
        delete translator;
        all = false;
    }
    return all;
}
