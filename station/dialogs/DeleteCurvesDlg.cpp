#include "station/dialogs/DeleteCurvesDlg.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "mox/Mm.h"
#include "station/dialogs/CurveDialogParts.h"

namespace {
constexpr int kAll = 4;  // index of "alle Kurven"
}

TDeleteCurvesDlg::TDeleteCurvesDlg(TStationContext& context) : QDialog(context.MainWindow), context(context)
{
    setWindowTitle("Kurve löschen");
    RadioGroup = new TRadioGroup("Kurvenauswahl", {"Kurve 1", "Kurve 2", "Kurve 3", "Kurve 4", "alle Kurven"}, this);
    RadioGroup->setToolTip("Auswahl der zu löschenden Lurve");
    RadioGroup->SetItemIndex(0);
    OK_Button = new QPushButton("OK", this);
    OK_Button->setToolTip("Kurve wird gelöscht");
    OK_Button->setDefault(true);
    Cancel_Button = new QPushButton("Abbruch", this);
    Cancel_Button->setToolTip("Abbruch ohne Löschung");
    connect(OK_Button, &QPushButton::clicked, this, [this] { OK_ButtonClick(); });
    connect(Cancel_Button, &QPushButton::clicked, this, &QDialog::reject);

    auto* top = new QHBoxLayout;
    top->addWidget(RadioGroup);
    top->addWidget(new TCurveColorKey(*context.Diagram, this), 0, Qt::AlignTop);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OK_Button);
    buttons->addWidget(Cancel_Button);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    AddHelpKey(this, THelpTopic::ViewKurvenLoeschen);
}

void TDeleteCurvesDlg::showEvent(QShowEvent* event)
{
    FormActivate();
    QDialog::showEvent(event);
}

void TDeleteCurvesDlg::FormActivate() { RadioGroup->SetItemIndex(0); }

void TDeleteCurvesDlg::OK_ButtonClick()
{
    TMOX_Diagram& d = *context.Diagram;
    const int choice = RadioGroup->ItemIndex();
    const int first = choice == kAll ? 1 : choice + 1;
    const int last = choice == kAll ? TMOX_Diagram::CurveCount : choice + 1;
    for (int c = first; c <= last; ++c) {
        d.DelCurve(c);
        d.set_Offset(c, 0);
    }
    d.bestimme_K_Wert();
    if (RefreshCurveWindows) RefreshCurveWindows();
    if (HideKorrektur) HideKorrektur();
    if (d.is_empty() && context.EnableKorrektur) context.EnableKorrektur(false);
    accept();
}
