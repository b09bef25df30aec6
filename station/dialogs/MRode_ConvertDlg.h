#pragma once
// Converts one day of the Magnetsrode observatory's data into a day file beside it.
#include <QDialog>
#include <functional>
#include <string>

#include "station/dialogs/StationContext.h"

class QDateEdit;

class TMRode_ConvertDlg : public QDialog {
public:
    explicit TMRode_ConvertDlg(TStationContext& context);

    // Proposes yesterday's date.
    void FormActivate();
    void OK_ButtonClick();

    QDateEdit* DateEdit() const { return dateEdit; }
    // Asks for an existing data file, starting in the given folder; empty when cancelled.
    // A file dialog by default; tests put their own chooser here.
    std::function<std::string(const std::string& folder)> ChooseFile;

protected:
    void showEvent(QShowEvent* e) override;

private:
    std::string AskForFile(const std::string& folder);

    TStationContext& ctx;
    QDateEdit* dateEdit = nullptr;
};
