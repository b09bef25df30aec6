#pragma once
// "Batch-Einstellungen": the logging station's batch interval, upload and image size.
#include <QDialog>
#include <functional>
#include <string>

#include "station/dialogs/StationContext.h"

class QCheckBox;
class QLineEdit;
class QPushButton;
class QSpinBox;

// The running station's batch and upload timing.
struct LogBatchValues {
    int IntervallMinuten = 1;      // Timer1: minutes x 60000 ms
    int FTP_TimeoutSekunden = 30;  // upload time limit: seconds x 1000 ms
    int FTP_Intervall = 1;         // upload after every n-th batch
    std::string FTP_Kommando;      // empty: no upload
    bool Standard = true;          // images in the standard size
    int Breite = 400;
    int Hoehe = 250;
};

class TLogBatchForm : public QDialog {
public:
    explicit TLogBatchForm(TStationContext& context);

    void FormActivate();
    void StandardClick();
    void OK_ButtonClick();

    // The station's values, shown on activation.
    std::function<LogBatchValues()> StationValues;
    // On OK: the new values; the station applies them and (re)starts its batch timer.
    std::function<void(const LogBatchValues&)> Applied;

    QSpinBox* IntervallEdit = nullptr;
    QSpinBox* FTPIntervallEdit = nullptr;
    QSpinBox* FTPTimeoutEdit = nullptr;
    QLineEdit* FTPCommandEdit = nullptr;
    QCheckBox* AbmessungenStandardCheckBox = nullptr;
    QSpinBox* BreiteEdit = nullptr;
    QSpinBox* HoeheEdit = nullptr;
    QPushButton* OK_Button = nullptr;
    QPushButton* CancelButton = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    TStationContext& ctx;
};
