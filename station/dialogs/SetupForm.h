#pragma once
// "Einstellungen": the station's header texts, the K index and its limits, the y scale and
// the alarm.
#include <QDialog>
#include <functional>

#include "station/dialogs/StationContext.h"

class QButtonGroup;
class QCheckBox;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QWidget;
class TBatchForm;
class TFarbDlg;

class TSetupForm : public QDialog {
public:
    TSetupForm(TStationContext& context, TFarbDlg& farbDlg, TBatchForm& batchForm);

    void FormActivate();
    void OK_ButtonClick();
    void DefaultButtonClick();
    void ColorButtonClick();
    void BatchButtonClick();

    // Tells the user why OK did not close the dialog.
    std::function<void(const QString&)> ShowError;

    QLineEdit* AutorEdit = nullptr;
    QLineEdit* OrtEdit = nullptr;
    QLineEdit* LaengeEdit = nullptr;
    QLineEdit* BreiteEdit = nullptr;
    QLineEdit* LocatorEdit = nullptr;
    QLineEdit* RemEdit = nullptr;
    QCheckBox* K_Wert_CheckBox = nullptr;
    QCheckBox* SummeCheckBox = nullptr;
    QCheckBox* FarbbalkenCheckBox = nullptr;
    QCheckBox* KCheckBox[4] = {};  // K1CheckBox ... K4CheckBox
    QLineEdit* K_Edit[9] = {};     // K0_Edit ... K8_Edit
    QButtonGroup* ScaleRadioGroup = nullptr;
    QCheckBox* autoscale_CheckBox = nullptr;
    QCheckBox* AlarmCheckBox = nullptr;
    QSpinBox* Alarm_Edit = nullptr;
    QWidget* ColorKey = nullptr;
    QPushButton* OK_Button = nullptr;
    QPushButton* DefaultButton = nullptr;
    QPushButton* ColorButton = nullptr;
    QPushButton* BatchButton = nullptr;
    QPushButton* Cancel_Button = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    TStationContext& ctx;
    TFarbDlg& farbDlg;
    TBatchForm& batchForm;
};
