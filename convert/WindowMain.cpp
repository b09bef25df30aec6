// MOX_Convert's window, which MOX_Convert hands the runs with a window to.
#include <QApplication>

#include "convert/ConvertForm.h"
#include "convert/ConvertStart.h"
#include "widgets/GermanQt.h"

int main(int argc, char** argv)
{
    if (const int rc = AnswerCommandLine(kConvertCommandLine, argc, argv); rc >= 0) return rc;
    QApplication app(argc, argv);
    InstallGermanQtTranslations(app);
    QApplication::setApplicationName("MOX_Convert");
    TConvertForm form;
    form.show();
    return app.exec();
}
