#pragma once
// "Filter": switches the correction file, the noise filter and the offset filter of every
// loaded curve while the window stays open beside the main window.
#include <QDialog>
#include <QString>
#include <functional>

#include "station/dialogs/StationContext.h"

class QCheckBox;
class QPushButton;
class QSpinBox;

class TFilterForm : public QDialog {
public:
    explicit TFilterForm(TStationContext& context);

    // Shows the diagram's switches; runs at creation and whenever the window is shown.
    void FormActivate();
    void KorrekturCheckBoxClick();
    void FilterCheckBoxClick();
    void OffsetfilterChange();
    // Stores the switches for the next start and hides.
    void OK_ButtonClick();

    // Shows why a curve could not be reloaded.
    std::function<void(const QString& message)> ShowError;

    QCheckBox* KorrekturCheckBox;
    QCheckBox* FilterCheckBox;
    QCheckBox* OffsetfilterCheckBox;
    QSpinBox* OffsetLimitEdit;
    QPushButton* OK_Button;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void Reload();
    TStationContext& context;
};
