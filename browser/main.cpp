// MOX_Browser: two day files side by side, reloaded when they change on disk.
#include <QApplication>
#include <cstdio>

#include "browser/MainForm.h"
#include "mox/rtl/Graphics.h"
#include "station/GermanQt.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    InstallGermanQtTranslations(app);
    QApplication::setApplicationName("MOX_Browser");
    if (!TextRenderingAvailable())
        std::fprintf(stderr, "MOX_Browser: no font found (fonts-liberation missing?); "
                             "the diagrams are drawn without text.\n");
    TMainForm main;
    main.show();
    return app.exec();
}
