#include "station/dialogs/OffsetForm.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>

#include "mox/Mm.h"
#include "station/dialogs/CurveDialogParts.h"

namespace {
const int kSteps[] = {1, 10, 50, 100};
}

TOffsetForm::TOffsetForm(TStationContext& context) : QDialog(context.MainWindow), context(context)
{
    setWindowTitle("Kurvenoffset ändern");
    RadioGroup = new TRadioGroup("Kurvenauswahl", {"Kurve 1", "Kurve 2", "Kurve 3", "Kurve 4"}, this);
    RadioGroup->setToolTip("Auswahl der zu verschiebenden Kurve");
    RadioGroup->SetItemIndex(0);
    SchrittweiteRadioGroup = new TRadioGroup("Schrittweite", {"1", "10", "50", "100"}, this);
    SchrittweiteRadioGroup->SetItemIndex(1);

    auto* frame = new QGroupBox("Offset [nT]:", this);
    OffsetEdit = new QSpinBox(frame);
    OffsetEdit->setRange(-500, 500);
    OffsetEdit->setSingleStep(10);
    OffsetEdit->findChild<QLineEdit*>()->setReadOnly(true);  // arrows only
    OffsetEdit->setToolTip("Offset der ausgewählten Kurve");
    (new QVBoxLayout(frame))->addWidget(OffsetEdit);

    // Both the default and the cancel button: Enter and Esc close the window.
    OK_Button = new QPushButton("OK", this);
    OK_Button->setToolTip("Offseteinstellung beenden");
    OK_Button->setDefault(true);
    connect(OK_Button, &QPushButton::clicked, this, &QDialog::hide);

    connect(RadioGroup->Buttons(), &QButtonGroup::idClicked, this, [this] { RadioGroupClick(); });
    connect(SchrittweiteRadioGroup->Buttons(), &QButtonGroup::idClicked, this,
            [this] { SchrittweiteRadioGroupClick(); });
    connect(OffsetEdit, &QSpinBox::valueChanged, this, [this] { OffsetEditChange(); });

    auto* top = new QHBoxLayout;
    top->addWidget(RadioGroup);
    top->addWidget(new TCurveColorKey(*context.Diagram, this), 0, Qt::AlignTop);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(SchrittweiteRadioGroup);
    bottom->addWidget(frame);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OK_Button);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(bottom);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    AddHelpKey(this, THelpTopic::ViewKurvenoffset);
}

void TOffsetForm::showEvent(QShowEvent* event)
{
    FormActivate();
    QDialog::showEvent(event);
}

int TOffsetForm::SelectedCurve() const { return RadioGroup->ItemIndex() + 1; }

void TOffsetForm::FormActivate()
{
    RadioGroup->SetItemIndex(0);
    RadioGroupClick();
    SchrittweiteRadioGroupClick();
}

void TOffsetForm::RadioGroupClick()
{
    // Showing an offset changes nothing, even one beyond the field's range (the continuity
    // offset of a previous day can be), which the field can only show clipped.
    const QSignalBlocker quiet(OffsetEdit);
    OffsetEdit->setValue(context.Diagram->get_Offset(SelectedCurve()));
}

void TOffsetForm::SchrittweiteRadioGroupClick()
{
    const int i = SchrittweiteRadioGroup->ItemIndex();
    if (i >= 0) OffsetEdit->setSingleStep(kSteps[i]);
}

void TOffsetForm::OffsetEditChange()
{
    const int curve = SelectedCurve();
    if (OffsetEdit->value() == context.Diagram->get_Offset(curve)) return;
    context.Diagram->set_Offset(curve, OffsetEdit->value());
    if (context.Redraw) context.Redraw();
}
