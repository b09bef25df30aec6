#pragma once
// "Farbeinstellungen": the four curve colours and the background of the station's diagram.
#include <QDialog>
#include <functional>
#include <optional>

#include "mox/rtl/Types.h"
#include "station/dialogs/StationContext.h"

class QComboBox;
class QPushButton;
class QWidget;

class TFarbDlg : public QDialog {
public:
    explicit TFarbDlg(TStationContext& context);

    void FormActivate();
    void ButtonClick(int curve);  // "Kurve n": pick a colour, set it on the diagram at once
    void Default_ButtonClick();
    void OK_ButtonClick();
    void CancelButtonClick();

    // The background colour chosen in the list.
    TColor SelectedBkColor() const;
    void SelectBkColor(TColor color);

    // The colour picker, started at the curve's colour; no value when the user cancels.
    std::function<std::optional<TColor>(TColor current)> PickColor;
    // After OK: the curve information and curve data windows repaint with the new colours.
    std::function<void()> ColorsChanged;

    QPushButton* CurveButton[4] = {};
    QWidget* PaintBox = nullptr;  // the curve buttons, each with its colour mark
    QComboBox* bkColorBox = nullptr;
    QPushButton* Default_Button = nullptr;
    QPushButton* OK_Button = nullptr;
    QPushButton* CancelButton = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    TStationContext& ctx;
};
