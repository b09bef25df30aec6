#include "station/dialogs/Diagramm_LadenDlg.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <exception>

#include "mox/Mm.h"
#include "mox/StationRecord.h"
#include "mox/rtl/IniFile.h"
#include "station/dialogs/CurveDialogParts.h"

using curvetext::Q;
using curvetext::S;

namespace {
constexpr int kAuto = 4;  // index of "Auto" in the component choice
}

TDiagramm_LadenDlg::TDiagramm_LadenDlg(TStationContext& context) : QDialog(context.MainWindow), context(context)
{
    setWindowTitle("Kurve laden");

    Kurven_RadioGroup = new TRadioGroup("Kurvenauswahl", {"Kurve 1", "Kurve 2", "Kurve 3", "Kurve 4"}, this);
    Kurven_RadioGroup->setToolTip("Auswahl der zu ladenden Kurve");
    Kurven_RadioGroup->SetItemIndex(0);
    Vector_RadioGroup = new TRadioGroup("Vektorauswahl", {"Bx", "By", "Bz", "B", "Auto"}, this);
    Vector_RadioGroup->setToolTip("Welcher Vektor soll aus einer Multivektor-Datei geladen werden?");
    Vector_RadioGroup->SetItemIndex(kAuto);

    KorrekturCheckBox = new QCheckBox("Korrekturdatei verwenden", this);
    KorrekturCheckBox->setToolTip("Korrekturdatei beim Laden der Kurve berücksichtigen?");
    FilterCheckBox = new QCheckBox("Störungsfilter verwenden", this);
    FilterCheckBox->setToolTip("Messwerte filtern?");
    OffsetfilterCheckBox = new QCheckBox("Offsetfilter verwenden", this);
    OffsetfilterCheckBox->setToolTip("Statische Kurvenverschiebungen automatisch korrigieren?");
    OffsetLimitEdit = new QSpinBox(this);
    OffsetLimitEdit->setRange(5, 100);
    OffsetLimitEdit->setToolTip("Wie groß muss ein Sprung sein, um als Verschiebung erkannt zu werden?");
    auto* limitLabel = new QLabel("Schwellwert[nT]:", this);
    limitLabel->setBuddy(OffsetLimitEdit);

    OK_Button = new QPushButton("OK", this);
    OK_Button->setToolTip("Ausgewählte Kurve laden");
    OK_Button->setDefault(true);
    CancelButton = new QPushButton("Abbruch", this);
    CancelButton->setToolTip("Abbruch ohne Kurve zu laden");
    connect(OK_Button, &QPushButton::clicked, this, [this] { OK_ButtonClick(); });
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);  // Esc as well

    auto* top = new QHBoxLayout;
    top->addWidget(Kurven_RadioGroup);
    top->addWidget(new TCurveColorKey(*context.Diagram, this), 0, Qt::AlignTop);
    auto* switches = new QGridLayout;
    switches->addWidget(KorrekturCheckBox, 0, 0, 1, 2);
    switches->addWidget(FilterCheckBox, 1, 0, 1, 2);
    switches->addWidget(OffsetfilterCheckBox, 2, 0, 1, 2);
    switches->addWidget(limitLabel, 3, 0);
    switches->addWidget(OffsetLimitEdit, 3, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OK_Button);
    buttons->addWidget(CancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(Vector_RadioGroup);
    layout->addLayout(switches);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    OpenFile = [this](const QString& folder) {
        return QFileDialog::getOpenFileName(this, "MOX-Diagramm laden", folder, "Diagramme [*.MOX] (*.mox *.MOX)");
    };
    ShowError = [this](const QString& message) { QMessageBox::critical(this, "MOX_View", message); };
    AddHelpKey(this, THelpTopic::ViewKurvenLaden);
}

void TDiagramm_LadenDlg::showEvent(QShowEvent* event)
{
    FormActivate();
    QDialog::showEvent(event);
}

void TDiagramm_LadenDlg::FormActivate()
{
    const TMOX_Diagram& d = *context.Diagram;
    KorrekturCheckBox->setChecked(d.get_is_Korrektur());
    FilterCheckBox->setChecked(d.get_is_noisefilter());
    OffsetfilterCheckBox->setChecked(d.get_is_offsetfilter());
    OffsetLimitEdit->setValue(d.get_offsetfilter_limit());
}

void TDiagramm_LadenDlg::OK_ButtonClick()
{
    TMOX_Diagram& d = *context.Diagram;
    TIniFile& ini = *context.Ini;
    OffsetLimitEdit->interpretText();  // a typed threshold counts even without Enter
    ini.WriteBool("Diagram", "Korrektur", KorrekturCheckBox->isChecked());
    ini.WriteBool("Diagram", "Filter", FilterCheckBox->isChecked());
    ini.WriteBool("Diagram", "Offset-Filter", OffsetfilterCheckBox->isChecked());
    ini.WriteInteger("Diagram", "Offset-Filter-Limit", OffsetLimitEdit->value());
    d.set_is_Korrektur(KorrekturCheckBox->isChecked());
    d.set_is_noisefilter(FilterCheckBox->isChecked());
    d.set_is_offsetfilter(OffsetfilterCheckBox->isChecked());
    d.set_offsetfilter_limit(OffsetLimitEdit->value());

    const QString file = OpenFile(Q(ini.ReadString("Diagram", "MOX-Data", "")));
    if (!file.isEmpty() && QFileInfo::exists(file)) Load(file);

    d.bestimme_K_Wert();
    if (RefreshCurveWindows) RefreshCurveWindows();
    if (!d.is_empty() && context.EnableKorrektur) context.EnableKorrektur(true);
    if (RefreshKorrekturList) RefreshKorrekturList();
    accept();
}

void TDiagramm_LadenDlg::Load(const QString& file)
{
    TMOX_Diagram& d = *context.Diagram;
    context.Ini->WriteString("Diagram", "MOX-Data", S(QFileInfo(file).absolutePath()) + "/");
    const int vector = Vector_RadioGroup->ItemIndex();
    try {
        // A raw log of an archive's station is converted with that station's record.
        const FolderRecord record(d, S(QFileInfo(file).absolutePath()));
        if (vector == kAuto) d.AutoLoad(S(file), false);
        else d.LoadData(S(file), vector + 1, Kurven_RadioGroup->ItemIndex() + 1);
    } catch (const std::exception& e) {
        // A damaged header ends this load only; the steps after it still run.
        ShowError(Q(e.what()));
    }
}
