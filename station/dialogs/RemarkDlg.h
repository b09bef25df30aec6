#pragma once
// Asked before a raw log is converted: the remark and the single-sensor component that the
// conversion writes into the new file's header.
#include <QDialog>

#include "station/dialogs/StationContext.h"

class QComboBox;
class QLineEdit;

class TRemarkDlg : public QDialog {
public:
    explicit TRemarkDlg(TStationContext& context);

    // Fills the controls from the settings file and makes the stored remark the diagram's.
    void FormActivate();
    void OK_ButtonClick();

    QLineEdit* RemEdit() const { return remEdit; }
    QComboBox* VectorComboBox() const { return vectorComboBox; }

protected:
    void showEvent(QShowEvent* e) override;

private:
    TStationContext& ctx;
    QLineEdit* remEdit = nullptr;
    QComboBox* vectorComboBox = nullptr;
};
