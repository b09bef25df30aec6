#pragma once
// Header data, statistics and K values of the one curve clicked in the magnetogram.
#include <QDialog>

#include "station/dialogs/StationContext.h"

class QLineEdit;
class QTextEdit;

class TKurvenForm : public QDialog {
public:
    explicit TKurvenForm(TStationContext& context);

    // The curve described (1..4); 0 or less shows nothing. Set before showing.
    void SetKurve(int curve);
    int Kurve() const { return kurve; }
    void FormActivate();

    QTextEdit* Text() const { return text; }
    QLineEdit* CountEdit() const { return countEdit; }
    QLineEdit* MaxEdit() const { return maxEdit; }
    QLineEdit* MinEdit() const { return minEdit; }
    QLineEdit* KEdit() const { return kEdit; }
    QLineEdit* AkEdit() const { return akEdit; }

protected:
    bool event(QEvent* e) override;
    void showEvent(QShowEvent* e) override;

private:
    TStationContext& ctx;
    int kurve = 0;
    QTextEdit* text = nullptr;
    QLineEdit* countEdit = nullptr;
    QLineEdit* maxEdit = nullptr;
    QLineEdit* minEdit = nullptr;
    QLineEdit* kEdit = nullptr;
    QLineEdit* akEdit = nullptr;
};
