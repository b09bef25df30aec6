#include "station/dialogs/KorrekturForm.h"

#include <QButtonGroup>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <cmath>
#include <functional>

#include "mox/CorrectionFile.h"
#include "mox/Mm.h"
#include "mox/rtl/SysUtils.h"
#include "station/app/CurveText.h"
#include "station/dialogs/DialogParts.h"
#include "widgets/CurveMark.h"

namespace {

constexpr int kLines = TMOX_Diagram::DayLength;

QString Q(const std::string& s) { return QString::fromStdString(s); }

std::string MinuteText(int minute) { return FormatDateTime("hh:mm", minute / 1440.0); }

// The list reports which button was pressed on which line. A right click selects only what
// the dialog decides, so it does not reach the list's own selection handling.
class ReadingList : public QListWidget {
public:
    std::function<void(Qt::MouseButton, int)> onMouseDown;

protected:
    void mousePressEvent(QMouseEvent* e) override
    {
        const int row = indexAt(e->position().toPoint()).row();
        if (e->button() != Qt::RightButton) QListWidget::mousePressEvent(e);
        if (onMouseDown) onMouseDown(e->button(), row);
    }
};

QLineEdit* LabelledEdit(QGridLayout* grid, int row, const char* label, const char* hint, bool readOnly)
{
    auto* edit = new QLineEdit;
    edit->setReadOnly(readOnly);
    edit->setToolTip(QString::fromUtf8(hint));
    auto* caption = new QLabel(QString::fromUtf8(label));
    caption->setBuddy(edit);
    grid->addWidget(caption, row, 0);
    grid->addWidget(edit, row, 1);
    return edit;
}

QPushButton* Button(const char* caption, const char* hint)
{
    auto* b = new QPushButton(QString::fromUtf8(caption));
    b->setToolTip(QString::fromUtf8(hint));
    b->setAutoDefault(false);
    return b;
}

}  // namespace

TKorrekturForm::TKorrekturForm(TStationContext& context)
    : QDialog(context.MainWindow, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint), ctx(context)
{
    setWindowTitle("Manuelle Kurvenkorrektur");
    setModal(false);

    auto* list = new ReadingList;
    list->onMouseDown = [this](Qt::MouseButton b, int row) { ListBoxMouseDown(b, row); };
    listBox = list;
    listBox->setToolTip("linke Maustaste: Referenzwert - rechte Maustaste: Korrekturwert");
    listBox->setMinimumWidth(150);

    auto* kurveBox = new QGroupBox("Kurve");
    kurveBox->setToolTip("Auswahl der zu korrigierenden Kurve");
    radioGroup = new QButtonGroup(this);
    // Each curve's colour mark in the row of its radio item.
    auto* radios = new QGridLayout(kurveBox);
    radios->setVerticalSpacing(0);
    radios->setColumnStretch(2, 1);
    for (int i = 0; i < 4; ++i) {
        auto* r = new QRadioButton(QString::number(i + 1));
        r->setFixedHeight(19);
        radioGroup->addButton(r, i);
        radios->addWidget(r, i, 0);
        radios->addWidget(new TCurveMark([this, i] { return ctx.Diagram->get_Color(i + 1); }), i, 1);
    }
    radioGroup->button(0)->setChecked(true);
    connect(radioGroup, &QButtonGroup::idClicked, this, [this](int id) { RadioGroupClick(id); });

    auto* grid = new QGridLayout;
    referenzEdit = LabelledEdit(grid, 0, "Referenzwert:", "Letzter korrekter Messwert", true);
    korrekturEdit = LabelledEdit(grid, 1, "Korrekturwert", "zu korrigierender Messwert", true);
    offsetEdit = LabelledEdit(grid, 2, "Offset [nT]: ", "resultierende Kurvenverschiebung", false);

    memoEdit = new QPlainTextEdit;
    memoEdit->setReadOnly(true);
    memoEdit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memoEdit->setToolTip("aktueller Inhalt der Korrekturdatei");

    auto* korrekturButton = Button("Ausführen", "Korrektur ausführen");
    undoButton = Button("Rückgängig", "Korrektur zurücknehmen");
    auto* cancelButton = Button("Abbruch", "Dialog abbrechen, Korrekturdatei wird nicht verändert");
    auto* okButton = Button("Speichern", "Änderungen in Korrekturdatei abspeichern");
    undoButton->setEnabled(false);
    connect(korrekturButton, &QPushButton::clicked, this, [this] { Korrektur_ButtonClick(); });
    connect(undoButton, &QPushButton::clicked, this, [this] { Undo_ButtonClick(); });
    connect(cancelButton, &QPushButton::clicked, this, [this] { CancelButtonClick(); });
    connect(okButton, &QPushButton::clicked, this, [this] { OK_ButtonClick(); });

    auto* actions = new QHBoxLayout;
    actions->addWidget(korrekturButton);
    actions->addWidget(undoButton);
    auto* closing = new QHBoxLayout;
    closing->addWidget(cancelButton);
    closing->addWidget(okButton);

    auto* right = new QVBoxLayout;
    right->addWidget(kurveBox);
    right->addLayout(grid);
    right->addLayout(actions);
    right->addWidget(memoEdit, 1);
    right->addLayout(closing);

    auto* top = new QHBoxLayout(this);
    top->addWidget(listBox);
    top->addLayout(right, 1);
    top->setSizeConstraint(QLayout::SetFixedSize);

    AddHelpKey(this, THelpTopic::ViewKurvenkorrektur);

    AskSavePending = [this](const std::string& file, int lines) {
        const QString text = lines == 1 ? "Eine Korrektur für %1 ist noch nicht gespeichert.\n"
                                        : "%2 Korrekturen für %1 sind noch nicht gespeichert.\n";
        return QMessageBox::question(this, windowTitle(),
                                     text.arg(Q(file)).arg(lines) + "Jetzt speichern? (Nein: sie werden verworfen.)") ==
               QMessageBox::Yes;
    };
}

void TKorrekturForm::ShowAndFill()
{
    show();
    raise();
    activateWindow();
    FillList();
}

void TKorrekturForm::CurvesLoaded()
{
    if (!isVisible()) return;
    FollowCurveDay();
    FillList();
}

void TKorrekturForm::CurvesRemoved() { hide(); }

int TKorrekturForm::ListCount() const { return listBox->count(); }

void TKorrekturForm::SelectMinute(int minute)
{
    if (minute < 0 || minute >= listBox->count()) return;
    listBox->setCurrentRow(minute);
    listBox->scrollToItem(listBox->item(minute));
}

void TKorrekturForm::FillList()
{
    listBox->clear();
    if (!ctx.Diagram->is_loaded(kurve)) return;
    QStringList lines;
    lines.reserve(kLines);
    for (int i = 1; i <= kLines; ++i)
        lines << Q(MinuteText(i - 1) + ": " + FloatToStr(ctx.Diagram->get_data(kurve, i)));
    listBox->addItems(lines);
    const int ref = ref_index[kurve - 1];
    if (ref >= 1 && ref <= kLines) listBox->setCurrentRow(ref - 1);
}

void TKorrekturForm::ListBoxMouseDown(Qt::MouseButton button, int rowUnderMouse)
{
    const int k = kurve - 1;
    if (button != Qt::RightButton) {
        // An empty list (no curve) or a click below the last line chooses nothing.
        const int row = listBox->currentRow();
        if (row < 0 || listBox->count() == 0) return;
        ref_index[k] = row + 1;
        korr_index[k] = ref_index[k] + 1;
        referenzEdit->setText(listBox->item(row)->text());
        if (row < kLines - 1) korrekturEdit->setText(listBox->item(row + 1)->text());
    } else {
        if (referenzEdit->text().isEmpty()) return;
        if (rowUnderMouse >= 0 && rowUnderMouse < listBox->count() && rowUnderMouse + 1 > ref_index[k])
            listBox->setCurrentRow(rowUnderMouse);
        const int row = listBox->currentRow();
        if (row >= 0) {
            korrekturEdit->setText(listBox->item(row)->text());
            korr_index[k] = row + 1;
        }
    }
    ComputeOffset();
}

void TKorrekturForm::ComputeOffset()
{
    if (referenzEdit->text().isEmpty()) return;
    const int k = kurve - 1;
    const double ref = ctx.Diagram->get_data(kurve, ref_index[k]);
    const double kor = ctx.Diagram->get_data(kurve, korr_index[k]);
    if (std::isnan(ref) || std::isnan(kor)) return;
    offsetEdit->setText(Q(IntToStr(static_cast<long long>(std::trunc(ref - kor)))));
}

void TKorrekturForm::RadioGroupClick(int item)
{
    if (item < 0 || item > 3) return;
    kurve = item + 1;
    if (radioGroup->checkedId() != item) radioGroup->button(item)->setChecked(true);
    FollowCurveDay();
    FillList();
}

bool TKorrekturForm::FollowCurveDay()
{
    if (!ctx.Diagram->is_loaded(kurve)) return true;
    const std::string name = CorrectionFileName(ctx.Diagram->get_Header(kurve));
    if (name == memo.File()) return true;
    if (memo.Pending() > 0 && AskSavePending(memo.File(), memo.Pending()) && !SaveMemo()) return false;
    // The corrections of the other day are saved or dropped now: none of them can be undone.
    undo = {};
    undoButton->setEnabled(false);
    const bool read = memo.Open(name);
    if (!read) {
        memo.Clear();
        QMessageBox::critical(this, windowTitle(), Q("Die Korrekturdatei " + name + " kann nicht gelesen werden."));
    }
    ShowMemo();
    return read;
}

bool TKorrekturForm::SaveMemo()
{
    if (memo.Save()) return true;
    QMessageBox::critical(this, windowTitle(),
                          Q("Die Korrekturdatei " + memo.File() + " kann nicht geschrieben werden."));
    return false;
}

void TKorrekturForm::Shift(int curve, int first, double offset)
{
    for (int i = first; i <= kLines; ++i) {
        const double v = ctx.Diagram->get_data(curve, i);
        if (!std::isnan(v)) ctx.Diagram->set_data(curve, i, v + offset);
    }
}

void TKorrekturForm::Korrektur_ButtonClick()
{
    const std::string text = offsetEdit->text().toStdString();
    if (Trim(text).empty()) return;
    double offset;
    if (!TryStrToFloat(text, offset)) {
        QMessageBox::critical(this, windowTitle(), Q("'" + text + "' ist kein gültiger Gleitkommawert"));
        return;
    }
    const int k = kurve - 1;
    // Without a reference reading there is nothing to shift from.
    if (ref_index[k] < 1 || !ctx.Diagram->is_loaded(kurve)) return;
    last_offset[k] = offset;
    if (offset == 0) return;
    // The line goes into the file of this curve's day, never into another day's.
    if (!FollowCurveDay()) return;

    undoButton->setEnabled(true);
    undo = {kurve, ref_index[k] + 1, offset};
    Shift(kurve, ref_index[k] + 1, offset);

    memo.Add(CorrectionLine(ctx.Diagram->get_Header(kurve).Vector, ref_index[k] - 1, offset));
    ShowMemo();
    Recompute();
    FillList();
}

void TKorrekturForm::Undo_ButtonClick()
{
    undoButton->setEnabled(false);
    // The correction undone is the one last made, on its own curve and from its own start,
    // whatever reference or curve has been chosen since.
    if (undo.curve == 0) return;
    Shift(undo.curve, undo.first, -undo.offset);
    last_offset[undo.curve - 1] = 0;
    undo = {};
    memo.RemoveLast();
    ShowMemo();
    Recompute();
    FillList();
}

void TKorrekturForm::OK_ButtonClick()
{
    // Whatever curve is selected now: the lines made since the file was read are saved, to
    // the file of their own day.
    if (memo.Pending() == 0) {
        QMessageBox::information(this, windowTitle(),
                                 "Es gibt keine neue Korrektur zu speichern; die Korrekturdatei bleibt, wie sie ist.");
        return;
    }
    if (!SaveMemo()) return;
    undo = {};
    memo.Clear();
    ShowMemo();
    hide();
}

void TKorrekturForm::CancelButtonClick()
{
    if (undoButton->isEnabled()) Undo_ButtonClick();
    memo.Clear();
    ShowMemo();
    hide();
}

void TKorrekturForm::reject() { CancelButtonClick(); }

void TKorrekturForm::FormActivate()
{
    // Without unsaved lines the memo shows the file as it is now, of the selected curve's day.
    if (memo.Pending() == 0 && ctx.Diagram->is_loaded(kurve)) {
        if (!memo.Open(CorrectionFileName(ctx.Diagram->get_Header(kurve)))) memo.Clear();
        ShowMemo();
    }
    undoButton->setEnabled(false);
    undo = {};
}

bool TKorrekturForm::event(QEvent* e)
{
    if (e->type() == QEvent::WindowActivate) FormActivate();
    return QDialog::event(e);
}

void TKorrekturForm::ShowMemo()
{
    QStringList lines;
    for (const std::string& l : memo.Lines()) lines << Q(l);
    memoEdit->setPlainText(lines.join('\n'));
    memoEdit->moveCursor(QTextCursor::End);
}

// The K index follows the readings: the picture must not show the K of uncorrected data.
void TKorrekturForm::Recompute()
{
    ctx.Diagram->bestimme_K_Wert();
    if (ctx.Redraw) ctx.Redraw();
}
