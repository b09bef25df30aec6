#pragma once
// Colour setup of both panes: curve colours and background, kept in the browser's section.
#include <QDialog>
#include <functional>

#include "mox/rtl/Types.h"

class QComboBox;
class QPushButton;
class TIniFile;
class TMOX_Diagram;

class TFarbDlg : public QDialog {
public:
    TFarbDlg(TMOX_Diagram& pane1, TMOX_Diagram& pane2, TIniFile& ini, QWidget* parent = nullptr);

    QComboBox* BkColorBox() const { return bkColorBox; }
    QPushButton* CurveButton(int curve) const { return curveButtons[curve - 1]; }
    // Called after every change of the panes' colours, so that they are drawn anew.
    std::function<void()> OnColorsChanged;
    std::function<void()> OnHelp;

    void FormActivate();
    void CurveButtonClick(int curve);
    void ResetButtonClick();
    void OKButtonClick();

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void SelectBkColor(TColor color);
    void Changed();

    TMOX_Diagram& pane1;
    TMOX_Diagram& pane2;
    TIniFile& ini;
    QComboBox* bkColorBox = nullptr;
    QWidget* paintBox = nullptr;
    QPushButton* curveButtons[4] = {};
};
