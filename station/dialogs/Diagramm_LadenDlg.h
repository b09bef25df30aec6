#pragma once
// "Kurve laden": loads one component of a day file into a chosen curve, or a whole day by
// its type, under the correction and filter switches chosen here.
#include <QDialog>
#include <QString>
#include <functional>

#include "station/dialogs/StationContext.h"

class QCheckBox;
class QPushButton;
class QSpinBox;
class TRadioGroup;

class TDiagramm_LadenDlg : public QDialog {
public:
    explicit TDiagramm_LadenDlg(TStationContext& context);

    // Fills the switches from the diagram; runs whenever the dialog is shown.
    void FormActivate();
    // Stores the switches, asks for the file, loads it, then closes with the OK result.
    void OK_ButtonClick();

    // Asks for the file to load, starting in the given folder; empty when cancelled.
    std::function<QString(const QString& folder)> OpenFile;
    // Refreshes the curve data and curve information windows.
    std::function<void()> RefreshCurveWindows;
    // Refills the manual correction window's reading list when that window is showing.
    std::function<void()> RefreshKorrekturList;
    // Shows why a file could not be loaded.
    std::function<void(const QString& message)> ShowError;

    TRadioGroup* Kurven_RadioGroup;
    TRadioGroup* Vector_RadioGroup;
    QCheckBox* KorrekturCheckBox;
    QCheckBox* FilterCheckBox;
    QCheckBox* OffsetfilterCheckBox;
    QSpinBox* OffsetLimitEdit;
    QPushButton* OK_Button;
    QPushButton* CancelButton;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void Load(const QString& file);
    TStationContext& context;
};
