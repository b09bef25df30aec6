#include "station/dialogs/MRode_ConvertDlg.h"

#include <QApplication>
#include <QDateEdit>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>
#include <exception>

#include "mox/Mm.h"
#include "mox/rtl/IniFile.h"
#include "mox/rtl/SysUtils.h"
#include "station/dialogs/DialogParts.h"

namespace {

QDate ToQDate(TDateTime t)
{
    int y, m, d;
    DecodeDate(t, y, m, d);
    return QDate(y, m, d);
}

TDateTime FromQDate(const QDate& d) { return EncodeDate(d.year(), d.month(), d.day()); }

}  // namespace

TMRode_ConvertDlg::TMRode_ConvertDlg(TStationContext& context)
    : QDialog(context.MainWindow, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint), ctx(context)
{
    setWindowTitle("Magnetsrode -> MOX");
    setModal(true);
    ChooseFile = [this](const std::string& folder) { return AskForFile(folder); };

    dateEdit = new QDateEdit;
    dateEdit->setCalendarPopup(true);
    dateEdit->setDisplayFormat("dd.MM.yy");
    dateEdit->setToolTip("Datum der Magnetsroder Daten");
    auto* label = new QLabel("Für welches Datum konvertieren?");
    label->setBuddy(dateEdit);

    auto* ok = new QPushButton("OK");
    ok->setToolTip("Konvertierung durchführen");
    ok->setDefault(true);
    auto* cancel = new QPushButton("Abbruch");
    cancel->setToolTip("Abbruch ohne Konvertierung");
    connect(ok, &QPushButton::clicked, this, [this] { OK_ButtonClick(); });
    connect(cancel, &QPushButton::clicked, this, [this] { reject(); });

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(dateEdit);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    AddHelpKey(this, THelpTopic::ViewMagnetsrodeKonvertierung);
}

void TMRode_ConvertDlg::FormActivate() { dateEdit->setDate(ToQDate(Date() - 1)); }

std::string TMRode_ConvertDlg::AskForFile(const std::string& folder)
{
    QFileDialog dialog(this, windowTitle(), QString::fromStdString(folder), "[*.dat] (*.dat);;alle Dateien [*.*] (*)");
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setDefaultSuffix("dat");
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().first().toStdString();
}

void TMRode_ConvertDlg::OK_ButtonClick()
{
    const std::string file = ChooseFile(ctx.Ini->ReadString("Diagram", "MR-Data", ""));
    accept();
    if (file.empty()) return;
    ctx.Ini->WriteString("Diagram", "MR-Data", ExtractFilePath(file));
    const TDateTime date = FromQDate(dateEdit->date());
    try {
        WaitCursor wait;
        ctx.Diagram->ConvertMR(file, date);
    } catch (const std::exception& e) {
        QMessageBox::critical(parentWidget(), windowTitle(), QString::fromStdString(e.what()));
    }
}

void TMRode_ConvertDlg::showEvent(QShowEvent* e)
{
    if (parentWidget()) move(parentWidget()->geometry().center() - rect().center());
    FormActivate();
    QDialog::showEvent(e);
}
