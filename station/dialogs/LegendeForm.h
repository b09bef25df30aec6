#pragma once
// "Diagrammlegende + Titel": curve labels, the diagram title and the legend options.
#include <QDialog>

#include "station/dialogs/StationContext.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

class TLegendeForm : public QDialog {
public:
    explicit TLegendeForm(TStationContext& context);

    // Fills the fields from the diagram and the settings file; runs whenever shown.
    void FormActivate();
    // Applies the fields to the diagram, stores them and hides with the OK result.
    void OK_ButtonClick();

    QLineEdit* KurveEdit[4];  // Kurve1Edit ... Kurve4Edit
    QLineEdit* TitelEdit;
    QCheckBox* AutoLegendeCheckBox;
    QCheckBox* DatumCheckBox;
    QCheckBox* BemerkungCheckBox;
    QComboBox* LegendeComboBox;
    QComboBox* ComboBox1;  // the placeholders a title may hold; choosing one changes nothing
    QPushButton* OK_Button;
    QPushButton* Cancel_Button;

protected:
    void showEvent(QShowEvent* event) override;

private:
    TStationContext& context;
};
