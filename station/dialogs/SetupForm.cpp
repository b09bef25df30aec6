#include "station/dialogs/SetupForm.h"

#include <QAbstractSpinBox>
#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "mox/Mm.h"
#include "mox/rtl/IniFile.h"
#include "mox/rtl/SysUtils.h"
#include "station/dialogs/BatchForm.h"
#include "station/dialogs/DialogParts.h"
#include "station/dialogs/FarbDlg.h"
#include "widgets/QtColor.h"

namespace {

std::string Str(const QLineEdit* e) { return e->text().toStdString(); }
QString Q(const std::string& s) { return QString::fromStdString(s); }

// "1:" to "4:" with a short line in each curve's colour.
class ColorKeyBox : public QWidget {
public:
    explicit ColorKeyBox(TMOX_Diagram* diagram) : diagram(diagram) { setFixedSize(170, 30); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        struct Entry {
            int labelX, labelY, x1, x2, y;
        };
        const Entry entries[4] = {
            {10, 0, 30, 70, 7}, {10, 15, 30, 70, 22}, {100, 0, 120, 160, 7}, {100, 15, 120, 160, 22}};
        QPainter p(this);
        const int ascent = p.fontMetrics().ascent();
        for (int n = 1; n <= 4; ++n) {
            const Entry& e = entries[n - 1];
            p.setPen(palette().color(QPalette::WindowText));
            p.drawText(e.labelX, e.labelY + ascent, QString("%1:").arg(n));
            p.setPen(QPen(ToQColor(diagram->get_Color(n)), 5, Qt::SolidLine, Qt::FlatCap));
            p.drawLine(e.x1, e.y, e.x2, e.y);
        }
    }

private:
    TMOX_Diagram* diagram;
};

}  // namespace

TSetupForm::TSetupForm(TStationContext& context, TFarbDlg& farb, TBatchForm& batch)
    : QDialog(context.MainWindow), ctx(context), farbDlg(farb), batchForm(batch)
{
    setWindowTitle("Einstellungen");
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    auto edit = [](const char* hint, int maxLength = 0) {
        auto* e = new QLineEdit;
        e->setToolTip(hint);
        if (maxLength > 0) e->setMaxLength(maxLength);
        return e;
    };
    AutorEdit = edit("Betreiber des Magnetometers");
    OrtEdit = edit("Standort des Magnetometers");
    LaengeEdit = edit("Geographische Länge mit Himmelsrichtung, z.B. 13.4 E");
    BreiteEdit = edit("Geographische Breite mit Himmelsrichtung, z.B. 52.5 N");
    LocatorEdit = edit("IARU-Locator (6 Zeichen), z.B. JO62QM", 6);
    RemEdit = edit("Standardbemerkung (z.B. Angaben zum Sensor usw.)", 70);

    auto* header = new QGroupBox(" MOX-Header ");
    auto* hg = new QGridLayout(header);
    hg->addWidget(new QLabel("Betreiber/Stationsname:"), 0, 0);
    hg->addWidget(AutorEdit, 0, 1, 1, 3);
    hg->addWidget(new QLabel("Ort:"), 1, 0);
    hg->addWidget(OrtEdit, 1, 1, 1, 3);
    hg->addWidget(new QLabel("geographische Koordinaten:"), 2, 0);
    hg->addWidget(new QLabel("Länge:"), 3, 0);
    hg->addWidget(LaengeEdit, 3, 1);
    hg->addWidget(new QLabel("Breite:"), 3, 2);
    hg->addWidget(BreiteEdit, 3, 3);
    hg->addWidget(new QLabel("IARU-Locator:"), 4, 0);
    hg->addWidget(LocatorEdit, 4, 1);
    hg->addWidget(new QLabel("Bemerkung:"), 5, 0);
    hg->addWidget(RemEdit, 5, 1, 1, 3);

    K_Wert_CheckBox = new QCheckBox("K-Index  anzeigen?");
    SummeCheckBox = new QCheckBox("Für jede Kurve darstellen?");
    SummeCheckBox->setToolTip("K-Index für jede Kurve einzeln anzeigen?");
    FarbbalkenCheckBox = new QCheckBox("Farbbalken?");
    auto* kGroup = new QGroupBox(" K-Index-Bestimmung ");
    auto* kg = new QGridLayout(kGroup);
    kg->addWidget(K_Wert_CheckBox, 0, 0);
    kg->addWidget(SummeCheckBox, 0, 1);
    kg->addWidget(FarbbalkenCheckBox, 0, 2);
    for (int c = 0; c < 4; ++c) {
        KCheckBox[c] = new QCheckBox(QString("Kurve %1 berücksichtigen?").arg(c + 1));
        kg->addWidget(KCheckBox[c], 1 + c / 2, c % 2);
    }
    ColorKey = new ColorKeyBox(ctx.Diagram);
    kg->addWidget(ColorKey, 1, 2, 2, 1);
    auto* limits = new QGridLayout;
    for (int n = 0; n < 9; ++n) {
        K_Edit[n] = edit(QString("Obergrenze für K=%1 [nT]").arg(n).toUtf8().constData(), 3);
        K_Edit[n]->setValidator(new QIntValidator(0, 999, K_Edit[n]));
        K_Edit[n]->setMaximumWidth(50);
        limits->addWidget(new QLabel(QString("K%1 <= ").arg(n)), n / 3, (n % 3) * 2);
        limits->addWidget(K_Edit[n], n / 3, (n % 3) * 2 + 1);
    }
    kg->addLayout(limits, 3, 0, 1, 3);

    auto* scaleOuter = new QGroupBox(" Y-Skalierung ");
    auto* so = new QVBoxLayout(scaleOuter);
    auto* presets = new QGroupBox(" Vorgaben ");
    auto* pg = new QGridLayout(presets);
    ScaleRadioGroup = new QButtonGroup(this);
    const char* scales[] = {"+/-60nT", "+/-100nT", "+/-150nT", "+/-200nT", "+/-250nT", "+/-500nT", "+/-1000nT"};
    for (int i = 0; i < 7; ++i) {
        auto* r = new QRadioButton(scales[i]);
        ScaleRadioGroup->addButton(r, i);
        pg->addWidget(r, i % 4, i / 4);
    }
    so->addWidget(presets);
    autoscale_CheckBox = new QCheckBox("automatisch anpassen?");
    so->addWidget(autoscale_CheckBox);

    auto* alarm = new QGroupBox(" Alarm ");
    auto* ag = new QGridLayout(alarm);
    AlarmCheckBox = new QCheckBox("Anzeige?");
    AlarmCheckBox->setToolTip("Alarm unterhalb der X-Achse anzeigen?");
    Alarm_Edit = new QSpinBox;
    Alarm_Edit->setRange(1, 9);
    Alarm_Edit->findChild<QLineEdit*>()->setReadOnly(true);  // arrows only
    Alarm_Edit->setToolTip("Alarm bei Überschreitung K? innerhalb von 10 Minuten");
    ag->addWidget(AlarmCheckBox, 0, 0, 1, 2);
    ag->addWidget(new QLabel("Alarm bei K>="), 1, 0);
    ag->addWidget(Alarm_Edit, 1, 1);

    DefaultButton = new QPushButton("Default");
    DefaultButton->setToolTip("K-Index Tabelle auf Standardwerte zurücksetzen");
    ColorButton = new QPushButton("Farben...");
    BatchButton = new QPushButton("Batch...  ");
    BatchButton->setToolTip("Einstellungen für Batch-Modus ändern");
    QHBoxLayout* buttons = OkCancelRow(OK_Button, Cancel_Button, {DefaultButton, ColorButton, BatchButton});
    OK_Button->setToolTip("Eingaben werden in die INI-Datei übernommen");
    Cancel_Button->setToolTip("Abbruch ohne Änderung der INI-Datei");

    auto* right = new QVBoxLayout;
    right->addWidget(scaleOuter);
    right->addWidget(alarm);
    right->addStretch();
    auto* body = new QGridLayout;
    body->addWidget(header, 0, 0);
    body->addWidget(kGroup, 1, 0);
    body->addLayout(right, 0, 1, 2, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(body);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(OK_Button, &QPushButton::clicked, this, [this] { OK_ButtonClick(); });
    connect(DefaultButton, &QPushButton::clicked, this, [this] { DefaultButtonClick(); });
    connect(ColorButton, &QPushButton::clicked, this, [this] { ColorButtonClick(); });
    connect(BatchButton, &QPushButton::clicked, this, [this] { BatchButtonClick(); });
    connect(Cancel_Button, &QPushButton::clicked, this, &QDialog::reject);
    AddHelpKey(this, THelpTopic::ViewDiagrammeinstellungen);
    ShowError = [this](const QString& text) { QMessageBox::warning(this, windowTitle(), text); };
}

void TSetupForm::showEvent(QShowEvent* event)
{
    CentreOnDesktop(this);
    FormActivate();
    QDialog::showEvent(event);
}

void TSetupForm::FormActivate()
{
    const TIniFile& ini = *ctx.Ini;
    TMOX_Diagram& d = *ctx.Diagram;
    // A missing header key shows the site record the station started with.
    AutorEdit->setText(Q(ini.ReadString("MOX-Header", "Autor", d.get_Autor())));
    OrtEdit->setText(Q(ini.ReadString("MOX-Header", "Ort", d.get_Ort())));
    LaengeEdit->setText(Q(ini.ReadString("MOX-Header", "Länge", d.get_Laenge())));
    BreiteEdit->setText(Q(ini.ReadString("MOX-Header", "Breite", d.get_Breite())));
    LocatorEdit->setText(Q(ini.ReadString("MOX-Header", "Locator", d.get_Locator())));
    RemEdit->setText(Q(ini.ReadString("MOX-Header", "Remarks", "")));
    K_Wert_CheckBox->setChecked(ini.ReadBool("Diagram", "K-Wert", true));
    SummeCheckBox->setChecked(ini.ReadBool("Diagram", "K-Summe", true));
    FarbbalkenCheckBox->setChecked(ini.ReadBool("Diagram", "K-Farbbalken", true));
    for (int c = 0; c < 4; ++c)
        KCheckBox[c]->setChecked(ini.ReadBool("Diagram", "Kurve" + std::to_string(c + 1) + "-K-Wert", true));
    for (int n = 0; n < 9; ++n)
        K_Edit[n]->setText(
            QString::number(ini.ReadInteger("K-Wert", "K" + std::to_string(n), TMOX_Diagram::DefaultKLimits[n])));
    const int scale = ini.ReadInteger("Diagram", "Skalierung", int(d.get_Y_Skalierung()));
    if (QAbstractButton* b = ScaleRadioGroup->button(scale)) b->setChecked(true);
    autoscale_CheckBox->setChecked(ini.ReadBool("Diagram", "Auto-Skalierung", d.get_is_AutoScale()));
    AlarmCheckBox->setChecked(ini.ReadBool("Diagram", "Alarm", true));
    Alarm_Edit->setValue(ini.ReadInteger("Diagram", "Alarmschwelle", 4));
    ColorKey->update();
}

void TSetupForm::OK_ButtonClick()
{
    // All nine limits are checked before anything is stored: a bad field must not leave half
    // the settings written, and the diagram only takes limits that do not fall.
    int limit[9];
    for (int n = 0; n < 9; ++n) {
        if (!TryStrToInt(Str(K_Edit[n]), limit[n])) {
            ShowError(QString("'%1' ist kein gültiger Integerwert.").arg(K_Edit[n]->text()));
            K_Edit[n]->setFocus();
            return;
        }
        if (limit[n] < 0 || (n > 0 && limit[n] < limit[n - 1])) {
            ShowError(QString("Die Grenze für K%1 darf nicht kleiner als die für K%2 und nicht negativ sein.")
                          .arg(n)
                          .arg(n > 0 ? n - 1 : 0));
            K_Edit[n]->setFocus();
            return;
        }
    }
    accept();

    TIniFile& ini = *ctx.Ini;
    TMOX_Diagram& d = *ctx.Diagram;
    // The header texts reach the diagram at the next start.
    ini.WriteString("MOX-Header", "Autor", Str(AutorEdit));
    ini.WriteString("MOX-Header", "Ort", Str(OrtEdit));
    ini.WriteString("MOX-Header", "Länge", Str(LaengeEdit));
    ini.WriteString("MOX-Header", "Breite", Str(BreiteEdit));
    ini.WriteString("MOX-Header", "Locator", Str(LocatorEdit));
    ini.WriteString("MOX-Header", "Remarks", Str(RemEdit));

    ini.WriteBool("Diagram", "K-Wert", K_Wert_CheckBox->isChecked());
    d.set_is_K_index(K_Wert_CheckBox->isChecked());
    ini.WriteBool("Diagram", "K-Summe", SummeCheckBox->isChecked());
    d.set_is_K_summe(SummeCheckBox->isChecked());
    ini.WriteBool("Diagram", "K-Farbbalken", FarbbalkenCheckBox->isChecked());
    d.set_is_K_Balken(FarbbalkenCheckBox->isChecked());
    for (int c = 0; c < 4; ++c)
        ini.WriteBool("Diagram", "Kurve" + std::to_string(c + 1) + "-K-Wert", KCheckBox[c]->isChecked());
    for (int c = 0; c < 4; ++c) d.set_is_K_curve(c + 1, KCheckBox[c]->isChecked());

    for (int n = 0; n < 9; ++n) ini.WriteInteger("K-Wert", "K" + std::to_string(n), limit[n]);
    for (int n = 0; n < 9; ++n) d.set_K_limit(n, limit[n]);

    const int scale = ScaleRadioGroup->checkedId();
    if (scale >= 0) {
        ini.WriteInteger("Diagram", "Skalierung", scale);
        d.set_Y_Skalierung(MOX_y_scale_Typ(scale));
    }
    ini.WriteBool("Diagram", "Auto-Skalierung", autoscale_CheckBox->isChecked());
    d.set_is_AutoScale(autoscale_CheckBox->isChecked());
    ini.WriteBool("Diagram", "Alarm", AlarmCheckBox->isChecked());
    ini.WriteInteger("Diagram", "Alarmschwelle", Alarm_Edit->value());
    d.set_is_Alarm(AlarmCheckBox->isChecked());
    d.set_Alarm_limit(Alarm_Edit->value());

    d.bestimme_K_Wert();
    if (ctx.Redraw) ctx.Redraw();
    ini.UpdateFile();
}

void TSetupForm::DefaultButtonClick()
{
    for (int n = 0; n < 9; ++n) K_Edit[n]->setText(QString::number(TMOX_Diagram::DefaultKLimits[n]));
}

void TSetupForm::ColorButtonClick()
{
    farbDlg.exec();
    ColorKey->update();
    if (ctx.Redraw) ctx.Redraw();
}

void TSetupForm::BatchButtonClick() { batchForm.exec(); }
