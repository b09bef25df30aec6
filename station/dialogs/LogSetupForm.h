#pragma once
// "Logging - Einstellungen": the device's serial port and the folder of the daily logs.
#include <QDialog>
#include <functional>
#include <string>

#include "station/dialogs/StationContext.h"

class QLineEdit;
class QPushButton;
class TComComboBox;
class TComPort;

class TLogSetupForm : public QDialog {
public:
    // `port` is the station's serial port; the chooser is linked to it on every activation.
    TLogSetupForm(TStationContext& context, TComPort* port);

    void FormActivate();
    void DirButtonClick();
    void OK_ButtonClick();

    // The station's data folder (ending in '/'), shown on activation.
    std::function<std::string()> StationDataDir;
    // On OK: the new data folder (ending in '/'; empty when none is shown) and the chosen
    // port name (empty when none is chosen: the port stays as it was).
    std::function<void(const std::string& dataDir, const std::string& port)> Applied;
    // The folder chooser, started at the shown folder; empty when the user cancels.
    std::function<QString(const QString& start)> ChooseFolder;

    TComComboBox* ComComboBox = nullptr;
    QLineEdit* DirEdit = nullptr;
    QPushButton* DirButton = nullptr;
    QPushButton* OK_Button = nullptr;
    QPushButton* CancelButton = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    TStationContext& ctx;
    TComPort* port;  // null outside logging mode
};
