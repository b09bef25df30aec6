#include "station/dialogs/BatchForm.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "mox/rtl/IniFile.h"
#include "station/app/StationSettings.h"
#include "station/dialogs/DialogParts.h"

namespace {
}

TBatchForm::TBatchForm(TStationContext& context) : QDialog(context.MainWindow), ctx(context)
{
    setWindowTitle("Batch-Modus Einstellungen");
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    FormatComboBox = new QComboBox;
    FormatComboBox->addItems({"Bitmap-Format (*.bmp)", "JPEG-Format (*.jpg)", "PNG-Format (*.png)"});
    auto check = [](const char* caption, const char* hint) {
        auto* c = new QCheckBox(caption);
        c->setToolTip(hint);
        return c;
    };
    VorschauCheckBox = check("Vorschau?", "Magnetogrammvorschau erzeugen (400x250 Pixel)?");
    VortagCheckBox = check("Vortag darstellen?", "Magnetogramm vom Vortag laden?");
    WAPCheckBox =
        check("WAP-Output erzeugen?", "Soll Output (Text+Grafik) zum Erstellen von WAP-Seiten erzeugt werden?");
    HTMLCheckBox = check("HTML-Output erzeugen?", "Soll Output zum Erstellen von HTML-Seiten erzeugt werden?");
    PfadEdit = new QLineEdit;
    PfadEdit->setMinimumWidth(280);
    FolderButton = new QPushButton("Durchsuchen...");
    FolderButton->setToolTip("Ordner auswählen");

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel("Bildformat:"), 0, 0);
    grid->addWidget(FormatComboBox, 0, 1, 1, 2);
    grid->addWidget(VorschauCheckBox, 1, 0, 1, 3);
    grid->addWidget(VortagCheckBox, 2, 0, 1, 3);
    grid->addWidget(WAPCheckBox, 3, 0, 1, 3);
    grid->addWidget(HTMLCheckBox, 4, 0, 1, 3);
    grid->addWidget(new QLabel("Speicherort für Magnetogramme:"), 5, 0, 1, 3);
    grid->addWidget(PfadEdit, 6, 0, 1, 2);
    grid->addWidget(FolderButton, 6, 2);

    QHBoxLayout* buttons = OkCancelRow(OK_Button, CancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(FolderButton, &QPushButton::clicked, this, [this] { FolderButtonClick(); });
    connect(OK_Button, &QPushButton::clicked, this, [this] { OK_ButtonClick(); });
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
    AddHelpKey(this, THelpTopic::ViewKommandozeile);

    ChooseFolder = [this](const QString& start) {
        return QFileDialog::getExistingDirectory(this, "Speicherort für Magnetogramme", start);
    };
    ShowError = [this](const QString& text) { QMessageBox::warning(this, windowTitle(), text); };
}

void TBatchForm::showEvent(QShowEvent* event)
{
    CentreOnDesktop(this);
    FormActivate();
    QDialog::showEvent(event);
}

void TBatchForm::FormActivate()
{
    FormatComboBox->setCurrentIndex(ctx.Ini->ReadInteger("Batch", "Bildformat", 0));
    PfadEdit->setText(QString::fromStdString(ReadImageDir(*ctx.Ini)));
    const BatchOutputFlags f = StationFlags ? StationFlags() : BatchOutputFlags{};
    VorschauCheckBox->setChecked(f.Vorschau);
    VortagCheckBox->setChecked(f.Vortag);
    WAPCheckBox->setChecked(f.WAP);
    HTMLCheckBox->setChecked(f.HTML);
}

void TBatchForm::FolderButtonClick()
{
    if (!ChooseFolder) return;
    const QString folder = ChooseFolder(PfadEdit->text());
    if (!folder.isEmpty()) PfadEdit->setText(QString::fromStdString(AsFolder(folder.toStdString())));
}

void TBatchForm::OK_ButtonClick()
{
    // The batch puts the folder in front of the file names, so only a full path will do.
    const std::string folder = PfadEdit->text().trimmed().toStdString();
    if (folder.rfind("/", 0) != 0 && folder.rfind("~/", 0) != 0) {
        if (ShowError) ShowError("Der Speicherort muss ein vollständiger Pfad sein (beginnend mit \"/\").");
        PfadEdit->setFocus();
        return;
    }
    accept();
    TIniFile& ini = *ctx.Ini;
    ini.WriteString("Verzeichnisse", "Bilder", AsFolder(folder));
    if (FormatComboBox->currentIndex() >= 0) ini.WriteInteger("Batch", "Bildformat", FormatComboBox->currentIndex());
    BatchOutputFlags f;
    f.Vorschau = VorschauCheckBox->isChecked();
    f.Vortag = VortagCheckBox->isChecked();
    f.WAP = WAPCheckBox->isChecked();
    f.HTML = HTMLCheckBox->isChecked();
    ini.WriteBool("Batch", "Vorschau", f.Vorschau);
    ini.WriteBool("Batch", "Vortag", f.Vortag);
    ini.WriteBool("Batch", "WAP", f.WAP);
    ini.WriteBool("Batch", "HTML", f.HTML);
    if (SetStationFlags) SetStationFlags(f);
    ini.UpdateFile();
}
