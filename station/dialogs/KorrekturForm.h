#pragma once
// Manual correction of a curve: the operator marks the last correct reading and the first
// disturbed one, the rest of the day is shifted by the difference, and each shift becomes a
// line of the day's correction file, so it is applied again whenever the day is loaded.
#include <QDialog>
#include <functional>
#include <string>
#include <vector>

#include "station/app/CorrectionMemo.h"
#include "station/dialogs/StationContext.h"

class QButtonGroup;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

class TKorrekturForm : public QDialog {
public:
    explicit TKorrekturForm(TStationContext& context);

    // Main window: the menu command shows the dialog and fills the list.
    void ShowAndFill();
    // Main window: a curve was loaded (refill when showing) or curves were removed (hide).
    void CurvesLoaded();
    void CurvesRemoved();
    // Main window: right click or double click on the magnetogram selects the line of that
    // minute (0..1439); it chooses neither a reference nor a correction reading.
    void SelectMinute(int minute);
    int ListCount() const;

    // Handlers, public so the main window and tests can drive the dialog as the user does.
    void FillList();
    void ListBoxMouseDown(Qt::MouseButton button, int rowUnderMouse);
    void RadioGroupClick(int item);
    void Korrektur_ButtonClick();
    void Undo_ButtonClick();
    void OK_ButtonClick();
    void CancelButtonClick();
    void FormActivate();

    // The state the controls show, for the main window and tests.
    int Kurve() const { return kurve; }
    QListWidget* ListBox() const { return listBox; }
    QLineEdit* ReferenzEdit() const { return referenzEdit; }
    QLineEdit* KorrekturEdit() const { return korrekturEdit; }
    QLineEdit* OffsetEdit() const { return offsetEdit; }
    QPushButton* UndoButton() const { return undoButton; }
    const std::vector<std::string>& MemoLines() const { return memo.Lines(); }
    // The correction file the lines belong to.
    const std::string& MemoFile() const { return memo.File(); }

    // Asks whether the unsaved lines of `file` are to be saved before another day's file is
    // shown; a test puts its own answer here.
    std::function<bool(const std::string& file, int lines)> AskSavePending;

protected:
    bool event(QEvent* e) override;
    void reject() override;

private:
    struct LastCorrection {
        int curve = 0;      // 0: nothing to undo
        int first = 0;      // first shifted reading
        double offset = 0;  // nT
    };

    void Shift(int curve, int first, double offset);
    void ComputeOffset();
    void ShowMemo();
    void Recompute();
    // Makes the lines shown those of the selected curve's day, first saving or dropping, as the
    // observer chooses, the unsaved lines of another day. False if they could not be saved.
    bool FollowCurveDay();
    bool SaveMemo();

    TStationContext& ctx;
    int kurve = 1;
    int ref_index[4] = {-1, -1, -1, -1};
    int korr_index[4] = {-1, -1, -1, -1};
    double last_offset[4] = {0, 0, 0, 0};
    LastCorrection undo;
    CorrectionMemo memo;

    QListWidget* listBox = nullptr;
    QButtonGroup* radioGroup = nullptr;
    QLineEdit* referenzEdit = nullptr;
    QLineEdit* korrekturEdit = nullptr;
    QLineEdit* offsetEdit = nullptr;
    QPlainTextEdit* memoEdit = nullptr;
    QPushButton* undoButton = nullptr;
};
