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

#include "mox/Mm.h"
#include "mox/rtl/SysUtils.h"
#include "mox/rtl/TextFile.h"
#include "station/CurveMark.h"
#include "station/app/CurveText.h"
#include "station/dialogs/DialogParts.h"

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

    memo = new QPlainTextEdit;
    memo->setReadOnly(true);
    memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memo->setToolTip("aktueller Inhalt der Korrekturdatei");

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
    right->addWidget(memo, 1);
    right->addLayout(closing);

    auto* top = new QHBoxLayout(this);
    top->addWidget(listBox);
    top->addLayout(right, 1);
    top->setSizeConstraint(QLayout::SetFixedSize);

    AddHelpKey(this, "MOX_View: Kurvenkorrektur");
}

std::string TKorrekturForm::KorrFileName(int curve) const
{
    const MOX_Header h = ctx.Diagram->get_Header(curve);
    // FormatDateTime takes its own pattern: the program's short date format stays as it is.
    return ExtractFilePath(h.FileName) + FormatDateTime("yyyymmdd", h.Date) + ".kor";
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
    if (isVisible()) FillList();
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
        if (rowUnderMouse >= 0 && rowUnderMouse < listBox->count() &&
            rowUnderMouse + 1 > ref_index[k])
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
    FillList();
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

    undoButton->setEnabled(true);
    undo = {kurve, ref_index[k] + 1, offset};
    Shift(kurve, ref_index[k] + 1, offset);

    static const char* const tags[] = {"Bx;", "By;", "Bz;"};
    const std::uint8_t vector = ctx.Diagram->get_Header(kurve).Vector;
    const std::string tag = vector < vecB ? tags[vector] : "";
    memoLines.push_back(tag + MinuteText(ref_index[k] - 1) + ";" + FloatToStr(offset));
    ShowMemo();
    Redraw();
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
    if (!memoLines.empty()) memoLines.pop_back();
    ShowMemo();
    Redraw();
    FillList();
}

void TKorrekturForm::OK_ButtonClick()
{
    if (last_offset[kurve - 1] == 0) return;
    const std::string name = KorrFileName(kurve);
    if (!WriteTextLines(name, memoLines)) {
        QMessageBox::critical(this, windowTitle(),
                              Q("Die Korrekturdatei " + name + " kann nicht geschrieben werden."));
        return;
    }
    undo = {};
    memoLines.clear();
    ShowMemo();
    hide();
}

void TKorrekturForm::CancelButtonClick()
{
    if (undoButton->isEnabled()) Undo_ButtonClick();
    memoLines.clear();
    ShowMemo();
    hide();
}

void TKorrekturForm::reject() { CancelButtonClick(); }

void TKorrekturForm::FormActivate()
{
    if (memoLines.empty() && ctx.Diagram->is_loaded(kurve)) {
        const std::string name = KorrFileName(kurve);
        if (FileExists(name) && ReadTextLines(name, memoLines)) ShowMemo();
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
    for (const std::string& l : memoLines) lines << Q(l);
    memo->setPlainText(lines.join('\n'));
    memo->moveCursor(QTextCursor::End);
}

void TKorrekturForm::Redraw()
{
    if (ctx.Redraw) ctx.Redraw();
}
