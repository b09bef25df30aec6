#include "station/dialogs/LogSetupForm.h"

#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "mox/rtl/IniFile.h"
#include "station/app/StationSettings.h"
#include "station/dialogs/DialogParts.h"
#include "station/serial/ComPort.h"
#include "widgets/ComComboBox.h"

namespace {
}

TLogSetupForm::TLogSetupForm(TStationContext& context, TComPort* comPort)
    : QDialog(context.MainWindow), ctx(context), port(comPort)
{
    setWindowTitle("Logging - Einstellungen");
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    ComComboBox = new TComComboBox;
    ComComboBox->setToolTip("Auswahl der verwendeten COM-Schnittstelle");
    DirEdit = new QLineEdit;
    DirEdit->setReadOnly(true);
    DirEdit->setMinimumWidth(280);
    DirButton = new QPushButton("Durchsuchen...");
    DirButton->setToolTip("Verzeichnis auswählen...");

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel("Schnittstelle:"), 0, 0);
    grid->addWidget(ComComboBox, 0, 1);
    grid->addWidget(new QLabel("Arbeitsverzeichnis:"), 1, 0, 1, 3);
    grid->addWidget(DirEdit, 2, 0, 1, 2);
    grid->addWidget(DirButton, 2, 2);

    QHBoxLayout* buttons = OkCancelRow(OK_Button, CancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(DirButton, &QPushButton::clicked, this, [this] { DirButtonClick(); });
    connect(OK_Button, &QPushButton::clicked, this, [this] { OK_ButtonClick(); });
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
    AddHelpKey(this, THelpTopic::ViewLogEinstellungen);
    ChooseFolder = [this](const QString& start) {
        return QFileDialog::getExistingDirectory(this, "Arbeitsverzeichnis", start);
    };
}

void TLogSetupForm::showEvent(QShowEvent* event)
{
    FormActivate();
    QDialog::showEvent(event);
}

void TLogSetupForm::FormActivate()
{
    ComComboBox->Refresh();
    if (port) ComComboBox->SetComPort(port);
    std::string dir = StationDataDir ? StationDataDir() : std::string();
    if (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    DirEdit->setText(QString::fromStdString(dir));
}

void TLogSetupForm::DirButtonClick()
{
    if (!ChooseFolder) return;
    const QString folder = ChooseFolder(DirEdit->text());
    if (folder.isEmpty()) return;
    std::string dir = AsFolder(folder.toStdString());
    if (dir.size() > 1) dir.pop_back();
    DirEdit->setText(QString::fromStdString(dir));
}

void TLogSetupForm::OK_ButtonClick()
{
    accept();
    ComComboBox->ApplySettings();
    std::string dataDir;
    if (!DirEdit->text().isEmpty()) {
        ctx.Ini->WriteString("Verzeichnisse", "Datenverzeichnis", DirEdit->text().toStdString());
        dataDir = AsFolder(DirEdit->text().toStdString());
    }
    const std::string portName = ComComboBox->Text().toStdString();
    if (!portName.empty()) ctx.Ini->WriteString("COM-Port", "Port", portName);
    ctx.Ini->UpdateFile();
    if (Applied) Applied(dataDir, portName);
}
