#pragma once
// "Kurvenoffset ändern": shifts a curve up or down in the drawing; stays open beside the
// main window and redraws at every step.
#include <QDialog>

#include "station/dialogs/StationContext.h"

class QPushButton;
class QSpinBox;
class TRadioGroup;

class TOffsetForm : public QDialog {
public:
    explicit TOffsetForm(TStationContext& context);

    // Selects "Kurve 1" and shows its offset; runs whenever the window is shown.
    void FormActivate();
    void RadioGroupClick();
    void SchrittweiteRadioGroupClick();
    void OffsetEditChange();

    TRadioGroup* RadioGroup;
    TRadioGroup* SchrittweiteRadioGroup;
    QSpinBox* OffsetEdit;
    QPushButton* OK_Button;

protected:
    void showEvent(QShowEvent* event) override;

private:
    int SelectedCurve() const;
    TStationContext& context;
};
