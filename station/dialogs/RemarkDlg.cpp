#include "station/dialogs/RemarkDlg.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "mox/Mm.h"
#include "mox/rtl/IniFile.h"
#include "station/dialogs/DialogParts.h"

namespace {

constexpr int kRemarkLength = 70;

}  // namespace

TRemarkDlg::TRemarkDlg(TStationContext& context)
    : QDialog(context.MainWindow, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint), ctx(context)
{
    setWindowTitle("Bemerkung in MOX-Header einfügen");
    setModal(true);

    remEdit = new QLineEdit;
    remEdit->setMaxLength(kRemarkLength);
    remEdit->setMinimumWidth(360);
    remEdit->setToolTip("Bemerkung, die in den MOX-Header übernommen werden soll");
    vectorComboBox = new QComboBox;
    vectorComboBox->addItems({"X", "Y", "Z"});

    auto* form = new QFormLayout;
    form->addRow("Bemerkung:", remEdit);
    form->addRow("gemessene Komponente bei 1-Sensor-System:", vectorComboBox);

    auto* ok = new QPushButton("OK");
    ok->setToolTip("Bemerkung übernehmen");
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, [this] { OK_ButtonClick(); });

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(ok, 0, Qt::AlignHCenter);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    AddHelpKey(this, THelpTopic::ViewMitschnittKonvertierung);
}

void TRemarkDlg::FormActivate()
{
    remEdit->setText(QString::fromStdString(ctx.Ini->ReadString("MOX-Header", "Remarks", "")));
    ctx.Diagram->set_Bemerkung(remEdit->text().toStdString());
    const int vector = ctx.Ini->ReadInteger("MOX-Header", "1-Sensor", 1);
    // A stored value outside X, Y, Z selects nothing, and OK then leaves it as it is.
    vectorComboBox->setCurrentIndex(vector >= 0 && vector <= 2 ? vector : -1);
}

void TRemarkDlg::OK_ButtonClick()
{
    const std::string remark = remEdit->text().toStdString();
    ctx.Diagram->set_Bemerkung(remark);
    ctx.Ini->WriteString("MOX-Header", "Remarks", remark);
    const int vector = vectorComboBox->currentIndex();
    if (vector >= 0 && vector <= 2) {
        ctx.Ini->WriteInteger("MOX-Header", "1-Sensor", vector);
        ctx.Diagram->set_1sensor_vec(static_cast<MOX_Vector_Typ>(vector));
    }
    ctx.Ini->UpdateFile();
    accept();
}

void TRemarkDlg::showEvent(QShowEvent* e)
{
    if (parentWidget()) move(parentWidget()->geometry().center() - rect().center());
    FormActivate();
    QDialog::showEvent(e);
}
