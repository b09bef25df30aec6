// MOX_Ini: sets up the magnetometer's clock and parameter set.
#include "paramtool/Main.h"
#include "station/GermanQt.h"

#include <QApplication>

int main(int argc, char** argv)
{
  QApplication app(argc, argv);
  InstallGermanQtTranslations(app);
  QApplication::setApplicationName(MoxIniTitle);
  QApplication::setApplicationDisplayName(MoxIniTitle);
  TMain Main;
  Main.show();
  return app.exec();
}
