#pragma once
// "Kurve löschen": removes one curve or all curves from the diagram.
#include <QDialog>
#include <functional>

#include "station/dialogs/StationContext.h"

class QPushButton;
class TRadioGroup;

class TDeleteCurvesDlg : public QDialog {
public:
    explicit TDeleteCurvesDlg(TStationContext& context);

    // Selects "Kurve 1"; runs whenever the dialog is shown.
    void FormActivate();
    // Removes the chosen curves and closes with the OK result.
    void OK_ButtonClick();

    // Refreshes the curve data and curve information windows.
    std::function<void()> RefreshCurveWindows;
    // Hides the manual correction window, whose reading list may name a removed curve.
    std::function<void()> HideKorrektur;

    TRadioGroup* RadioGroup;
    QPushButton* OK_Button;
    QPushButton* Cancel_Button;

protected:
    void showEvent(QShowEvent* event) override;

private:
    TStationContext& context;
};
