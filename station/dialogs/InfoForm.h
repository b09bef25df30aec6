#pragma once
// Header data and K indices of all loaded curves; shown beside the main window.
#include <QDialog>

#include "station/dialogs/StationContext.h"

class QLineEdit;
class QTextEdit;

class TInfoForm : public QDialog {
public:
    explicit TInfoForm(TStationContext& context);

    // Fills the window from the diagram; the main window and the curve dialogs call it after
    // they change curves.
    void FormActivate();

    QTextEdit* Text() const { return text; }
    QLineEdit* KEditOf(int curve) const { return kEdits[curve - 1]; }  // 1..4
    QLineEdit* KEdit() const { return kEdit; }

protected:
    bool event(QEvent* e) override;
    void showEvent(QShowEvent* e) override;

private:
    TStationContext& ctx;
    QTextEdit* text = nullptr;
    QLineEdit* kEdits[4] = {};
    QLineEdit* kEdit = nullptr;
};
