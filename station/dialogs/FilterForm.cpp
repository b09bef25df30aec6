#include "station/dialogs/FilterForm.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>

#include "mox/Mm.h"
#include "mox/rtl/IniFile.h"
#include "station/dialogs/CurveDialogParts.h"

TFilterForm::TFilterForm(TStationContext& context) : QDialog(context.MainWindow), context(context)
{
    setWindowTitle("Filter");
    auto* frame = new QGroupBox("Filter ", this);
    KorrekturCheckBox = new QCheckBox("Korrekturdatei verwenden", frame);
    KorrekturCheckBox->setToolTip("Korrekturdatei beim Laden der Kurve berücksichtigen?");
    FilterCheckBox = new QCheckBox("Störungsfilter verwenden", frame);
    FilterCheckBox->setToolTip("Messwerte filtern?");
    OffsetfilterCheckBox = new QCheckBox("Offsetfilter verwenden", frame);
    OffsetfilterCheckBox->setToolTip("Statische Kurvenverschiebungen automatisch korrigieren?");
    OffsetLimitEdit = new QSpinBox(frame);
    OffsetLimitEdit->setRange(5, 100);
    // Every change reloads all curves: take a typed value when it is complete, not per digit.
    OffsetLimitEdit->setKeyboardTracking(false);
    OffsetLimitEdit->setToolTip("Wie groß muss ein Sprung sein, um als Verschiebung erkannt zu werden?");
    auto* limitLabel = new QLabel(" Schwellwert[nT]:", frame);
    limitLabel->setBuddy(OffsetLimitEdit);
    auto* grid = new QGridLayout(frame);
    grid->addWidget(KorrekturCheckBox, 0, 0, 1, 2);
    grid->addWidget(FilterCheckBox, 1, 0, 1, 2);
    grid->addWidget(OffsetfilterCheckBox, 2, 0, 1, 2);
    grid->addWidget(limitLabel, 3, 0);
    grid->addWidget(OffsetLimitEdit, 3, 1);

    OK_Button = new QPushButton("OK", this);
    OK_Button->setToolTip("Dialogfenster schließen");
    OK_Button->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OK_Button);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(frame);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(KorrekturCheckBox, &QCheckBox::clicked, this, [this] { KorrekturCheckBoxClick(); });
    connect(FilterCheckBox, &QCheckBox::clicked, this, [this] { FilterCheckBoxClick(); });
    connect(OffsetfilterCheckBox, &QCheckBox::clicked, this, [this] { OffsetfilterChange(); });
    connect(OffsetLimitEdit, &QSpinBox::valueChanged, this, [this] { OffsetfilterChange(); });
    connect(OK_Button, &QPushButton::clicked, this, [this] { OK_ButtonClick(); });

    ShowError = [this](const QString& message) { QMessageBox::critical(this, "MOX_View", message); };
    AddHelpKey(this, THelpTopic::ViewFilteroptionen);
    FormActivate();
}

void TFilterForm::showEvent(QShowEvent* event)
{
    // The load dialog changes the same switches; show them as they are now.
    FormActivate();
    // Not QDialog's: that one centres the dialog on the main window, and this window opens
    // where the window manager puts new windows.
    QWidget::showEvent(event);
}

void TFilterForm::FormActivate()
{
    const TMOX_Diagram& d = *context.Diagram;
    const QSignalBlocker quiet(OffsetLimitEdit);
    KorrekturCheckBox->setChecked(d.get_is_Korrektur());
    FilterCheckBox->setChecked(d.get_is_noisefilter());
    OffsetfilterCheckBox->setChecked(d.get_is_offsetfilter());
    OffsetLimitEdit->setValue(d.get_offsetfilter_limit());
}

void TFilterForm::KorrekturCheckBoxClick()
{
    if (!isVisible() || KorrekturCheckBox->isChecked() == context.Diagram->get_is_Korrektur()) return;
    context.Diagram->set_is_Korrektur(KorrekturCheckBox->isChecked());
    Reload();
}

void TFilterForm::FilterCheckBoxClick()
{
    if (!isVisible() || FilterCheckBox->isChecked() == context.Diagram->get_is_noisefilter()) return;
    context.Diagram->set_is_noisefilter(FilterCheckBox->isChecked());
    Reload();
}

void TFilterForm::OffsetfilterChange()
{
    TMOX_Diagram& d = *context.Diagram;
    if (!isVisible()) return;
    if (OffsetfilterCheckBox->isChecked() == d.get_is_offsetfilter() &&
        OffsetLimitEdit->value() == d.get_offsetfilter_limit())
        return;
    d.set_is_offsetfilter(OffsetfilterCheckBox->isChecked());
    d.set_offsetfilter_limit(OffsetLimitEdit->value());
    Reload();
}

void TFilterForm::Reload()
{
    const std::string errors = ReloadLoadedCurves(*context.Diagram);
    if (context.Redraw) context.Redraw();
    if (!errors.empty()) ShowError(curvetext::Q(errors).trimmed());
}

void TFilterForm::OK_ButtonClick()
{
    OffsetLimitEdit->interpretText();  // a typed threshold counts even without Enter
    TIniFile& ini = *context.Ini;
    ini.WriteBool("Diagram", "Korrektur", KorrekturCheckBox->isChecked());
    ini.WriteBool("Diagram", "Filter", FilterCheckBox->isChecked());
    ini.WriteBool("Diagram", "Offset-Filter", OffsetfilterCheckBox->isChecked());
    ini.WriteInteger("Diagram", "Offset-Filter-Limit", OffsetLimitEdit->value());
    hide();
}
