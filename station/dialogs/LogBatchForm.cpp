#include "station/dialogs/LogBatchForm.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "mox/rtl/IniFile.h"
#include "station/dialogs/DialogParts.h"

namespace {

QSpinBox* Spin(int min, int max, int step, const char* hint, bool arrowsOnly)
{
    auto* s = new QSpinBox;
    s->setRange(min, max);
    s->setSingleStep(step);
    s->setToolTip(hint);
    if (arrowsOnly) s->findChild<QLineEdit*>()->setReadOnly(true);
    return s;
}

}  // namespace

TLogBatchForm::TLogBatchForm(TStationContext& context) : QDialog(context.MainWindow), ctx(context)
{
    setWindowTitle("Batch-Einstellungen");
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    IntervallEdit = Spin(1, 30, 1, "Speicherintervall des Diagrammes in Minuten (1..30)", true);
    FTPIntervallEdit = Spin(1, 60, 1, "Häufigkeit des FTP-Uploads [1..60]", true);
    FTPTimeoutEdit = Spin(30, 120, 1, "Nach wieviel Sekunden wird der FTP-Script zwangsweise beendet [30..120]?", true);
    FTPCommandEdit = new QLineEdit;
    FTPCommandEdit->setToolTip("Name des FTP-Scriptes");
    FTPCommandEdit->setMinimumWidth(240);
    AbmessungenStandardCheckBox = new QCheckBox("Standard");
    AbmessungenStandardCheckBox->setToolTip("Das Diagramm wird mit den Standardabmessungen gespeichert");
    BreiteEdit = Spin(400, 1200, 10, "Diagrammbreite", false);
    HoeheEdit = Spin(250, 900, 10, "Diagrammhöhe", false);

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel("Intervall [min]:"), 0, 0);
    grid->addWidget(IntervallEdit, 0, 1);
    auto* upload = new QHBoxLayout;
    upload->addWidget(new QLabel("FTP-Upload jedes"));
    upload->addWidget(FTPIntervallEdit);
    upload->addWidget(new QLabel(". Intervall"));
    upload->addStretch();
    grid->addLayout(upload, 1, 0, 1, 2);
    grid->addWidget(new QLabel("FTP-Timeout [s]:"), 2, 0);
    grid->addWidget(FTPTimeoutEdit, 2, 1);
    grid->addWidget(new QLabel("FTP-Kommando"), 3, 0);
    grid->addWidget(FTPCommandEdit, 3, 1);

    auto* size = new QGroupBox("Diagrammabmessungen");
    auto* sg = new QGridLayout(size);
    sg->addWidget(AbmessungenStandardCheckBox, 0, 0, 1, 2);
    sg->addWidget(new QLabel("Breite:"), 1, 0);
    sg->addWidget(BreiteEdit, 1, 1);
    sg->addWidget(new QLabel("Höhe:"), 2, 0);
    sg->addWidget(HoeheEdit, 2, 1);

    QHBoxLayout* buttons = OkCancelRow(OK_Button, CancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(size);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(AbmessungenStandardCheckBox, &QCheckBox::toggled, this, [this] { StandardClick(); });
    connect(OK_Button, &QPushButton::clicked, this, [this] { OK_ButtonClick(); });
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
    AddHelpKey(this, THelpTopic::ViewBatchEinstellungen);
}

void TLogBatchForm::showEvent(QShowEvent* event)
{
    CentreOnDesktop(this);
    FormActivate();
    QDialog::showEvent(event);
}

void TLogBatchForm::FormActivate()
{
    const LogBatchValues v = StationValues ? StationValues() : LogBatchValues{};
    for (QWidget* w : std::initializer_list<QWidget*>{IntervallEdit, FTPIntervallEdit, FTPTimeoutEdit, FTPCommandEdit,
                                                      AbmessungenStandardCheckBox})
        w->setEnabled(true);
    IntervallEdit->setValue(v.IntervallMinuten);
    FTPTimeoutEdit->setValue(v.FTP_TimeoutSekunden);
    FTPIntervallEdit->setValue(v.FTP_Intervall);
    FTPCommandEdit->setText(QString::fromStdString(v.FTP_Kommando));
    AbmessungenStandardCheckBox->setChecked(v.Standard);
    BreiteEdit->setValue(v.Breite);
    HoeheEdit->setValue(v.Hoehe);
    StandardClick();
}

void TLogBatchForm::StandardClick()
{
    const bool own = !AbmessungenStandardCheckBox->isChecked();
    BreiteEdit->setEnabled(own);
    HoeheEdit->setEnabled(own);
}

void TLogBatchForm::OK_ButtonClick()
{
    accept();
    LogBatchValues v;
    v.IntervallMinuten = IntervallEdit->value();
    v.FTP_TimeoutSekunden = FTPTimeoutEdit->value();
    v.FTP_Intervall = FTPIntervallEdit->value();
    v.FTP_Kommando = FTPCommandEdit->text().trimmed().toStdString();
    v.Standard = AbmessungenStandardCheckBox->isChecked();
    v.Breite = BreiteEdit->value();
    v.Hoehe = HoeheEdit->value();
    TIniFile& ini = *ctx.Ini;
    ini.WriteInteger("Batch", "Intervall", v.IntervallMinuten);
    ini.WriteInteger("Batch", "FTP-Timeout", v.FTP_TimeoutSekunden);
    ini.WriteInteger("Batch", "FTP-Intervall", v.FTP_Intervall);
    ini.WriteString("Batch", "FTP-Kommando", v.FTP_Kommando);
    ini.WriteBool("Batch", "Standard", v.Standard);
    ini.WriteInteger("Batch", "Breite", v.Breite);
    ini.WriteInteger("Batch", "Hoehe", v.Hoehe);
    ini.UpdateFile();
    if (Applied) Applied(v);
}
