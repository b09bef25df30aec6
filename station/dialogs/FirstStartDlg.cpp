#include "station/dialogs/FirstStartDlg.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "mox/Mm.h"
#include "mox/rtl/IniFile.h"
#include "station/dialogs/DialogParts.h"

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }
std::string S(const QString& s) { return s.trimmed().toStdString(); }

}  // namespace

TFirstStartDlg::TFirstStartDlg(TStationContext& context, const std::string& port,
                               const std::vector<std::string>& devicesById)
    : QDialog(context.MainWindow), ctx(context)
{
    setWindowTitle("Neue Station");
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    const FirstStartAnswers now = CurrentAnswers(*ctx.Diagram, port);

    auto* intro =
        new QLabel(Q("Willkommen bei MOX_View!\n\nDie Station trägt noch einen Platzhalter als Stationsangaben (\"" +
                     now.Autor + ", " + now.Ort + ", " + now.Laenge + ", " + now.Breite +
                     "\"). Sie stehen in jeder Legende, auf jeder Seite und in jeder Datei, die MOX_View "
                     "schreibt. Bitte tragen Sie die Angaben Ihrer Station und den Port des Magnetometers "
                     "ein; beides gilt sofort, ohne Neustart."));
    intro->setWordWrap(true);
    intro->setMinimumWidth(420);

    auto edit = [](const std::string& text, const char* hint) {
        auto* e = new QLineEdit(Q(text));
        e->setToolTip(hint);
        return e;
    };
    AutorEdit = edit(now.Autor, "Betreiber des Magnetometers");
    OrtEdit = edit(now.Ort, "Standort des Magnetometers");
    LaengeEdit = edit(now.Laenge, "Geographische Länge mit Himmelsrichtung, z.B. 13.4 E");
    BreiteEdit = edit(now.Breite, "Geographische Breite mit Himmelsrichtung, z.B. 52.5 N");
    LocatorEdit = edit("", "IARU-Locator (6 Zeichen); leer: aus Länge und Breite berechnet");
    LocatorEdit->setMaxLength(6);
    PortBox = new QComboBox;
    PortBox->setEditable(true);
    PortBox->setToolTip("Die Geräte unter /dev/serial/by-id/ oder ein anderer Name oder Pfad");
    for (const std::string& d : devicesById) PortBox->addItem(Q(d));
    // An attached device is the better guess than a default that names no device.
    PortBox->setEditText(devicesById.size() == 1 ? Q(devicesById[0]) : Q(port));
    ProblemLabel = new QLabel;
    ProblemLabel->setWordWrap(true);
    ProblemLabel->setStyleSheet("color: #b00000");

    auto* form = new QFormLayout;
    form->addRow("Betreiber:", AutorEdit);
    form->addRow("Ort:", OrtEdit);
    form->addRow("Länge:", LaengeEdit);
    form->addRow("Breite:", BreiteEdit);
    form->addRow("Locator:", LocatorEdit);
    form->addRow("Port:", PortBox);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addLayout(form);
    layout->addWidget(ProblemLabel);
    layout->addLayout(OkCancelRow(OK_Button, CancelButton));
    connect(OK_Button, &QPushButton::clicked, this, [this] { OK_ButtonClick(); });
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

FirstStartAnswers TFirstStartDlg::Answers() const
{
    return {S(AutorEdit->text()),  S(OrtEdit->text()),     S(LaengeEdit->text()),
            S(BreiteEdit->text()), S(LocatorEdit->text()), S(PortBox->currentText())};
}

void TFirstStartDlg::OK_ButtonClick()
{
    const FirstStartAnswers a = Answers();
    const std::string problem = FirstStartProblem(a);
    ProblemLabel->setText(Q(problem));
    if (!problem.empty()) return;
    ApplyFirstStartAnswers(*ctx.Ini, *ctx.Diagram, a);
    if (ctx.Redraw) ctx.Redraw();
    accept();
}
