#pragma once
// "Neue Station": on the first start, the station record and the device's port in one box;
// what is entered is stored and in use as soon as OK closes it.
#include <QDialog>

#include "station/app/FirstStart.h"
#include "station/dialogs/StationContext.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

class TFirstStartDlg : public QDialog {
public:
    // `port` is the station's port setting now; `devicesById` lists the paths offered.
    TFirstStartDlg(TStationContext& context, const std::string& port,
                   const std::vector<std::string>& devicesById = SerialDevicesById());

    // The answers as they stand in the fields.
    FirstStartAnswers Answers() const;
    void OK_ButtonClick();

    QLineEdit* AutorEdit = nullptr;
    QLineEdit* OrtEdit = nullptr;
    QLineEdit* LaengeEdit = nullptr;
    QLineEdit* BreiteEdit = nullptr;
    QLineEdit* LocatorEdit = nullptr;
    QComboBox* PortBox = nullptr;  // the devices by id, and any typed name or path
    QLabel* ProblemLabel = nullptr;
    QPushButton* OK_Button = nullptr;
    QPushButton* CancelButton = nullptr;

private:
    TStationContext& ctx;
};
