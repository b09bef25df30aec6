#include "station/dialogs/LegendeForm.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include "mox/Mm.h"
#include "mox/rtl/IniFile.h"
#include "station/dialogs/CurveDialogParts.h"
#include "widgets/QtColor.h"

using curvetext::Q;
using curvetext::S;

namespace {

// One curve's colour as a short 3-pixel line beside its label field.
class TColorBox : public QWidget {
public:
    TColorBox(const TMOX_Diagram& diagram, int curve, QWidget* parent) : QWidget(parent), diagram(diagram), curve(curve)
    {
        setFixedSize(50, 30);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setPen(QPen(ToQColor(diagram.get_Color(curve)), 3, Qt::SolidLine, Qt::FlatCap));
        p.drawLine(5, 15, 45, 15);
    }

private:
    const TMOX_Diagram& diagram;
    int curve;
};

const char* const kStyles[] = {
    "Betreiber",    "Betreiber, Ort", "Betreiber, Ort, Locator", "Betreiber, Ort, Länge, Breite",
    "Ort",          "Ort, Locator",   "Ort, Länge, Breite",      "Locator",
    "Länge, Breite"};
constexpr int kStyleCount = sizeof kStyles / sizeof kStyles[0];

QStringList Placeholders()
{
    QStringList list = {"$BEMERKUNG$ = Bemerkung aus Setup-Dialog",
                        "$DATUM$ = aktuelles Datum",
                        "$LOCATOR$ = Locator aus Setup-Dialog",
                        "$NAME$ = Betreiber aus Setup-Dialog",
                        "$ORT$ = Ort aus Setup-Dialog",
                        "$UHRZEIT$ = aktuelle Uhrzeit"};
    for (int n = 1; n <= 4; ++n) {
        const QString k = QString::number(n);
        list << "$BEMERKUNG" + k + "$ = Bemerkung aus Kurve Nr. " + k << "$DATUM" + k + "$ = Datum der Kurve Nr. " + k
             << "$KOORD" + k + "$ = geograph. Koordinaten Kurve Nr. " + k
             << "$LOCATOR" + k + "$ = Locator aus Kurve Nr. " + k << "$NAME" + k + "$ = Betreiber aus Kurve Nr. " + k
             << "$ORT" + k + "$ = Ort aus Kurve Nr. " + k << "$UHRZEIT" + k + "$ = letzter Messwert Kurve Nr. " + k;
    }
    return list;
}

}  // namespace

TLegendeForm::TLegendeForm(TStationContext& context) : QDialog(context.MainWindow), context(context)
{
    setWindowTitle("Diagrammlegende + Titel");
    auto* labels = new QGridLayout;
    static const char* const kHints[] = {"Beschriftung der 1. Kurve", "Beschriftung der 2. Kurve",
                                         "Beschriftung der 3. Kurve", "Beschriftung der 4. Kurve"};
    for (int i = 0; i < 4; ++i) {
        KurveEdit[i] = new QLineEdit(this);
        KurveEdit[i]->setMaxLength(32);
        KurveEdit[i]->setToolTip(kHints[i]);
        auto* label = new QLabel(QString("Kurve %1:").arg(i + 1), this);
        label->setBuddy(KurveEdit[i]);
        labels->addWidget(label, i, 0);
        labels->addWidget(KurveEdit[i], i, 1);
        labels->addWidget(new TColorBox(*context.Diagram, i + 1, this), i, 2);
    }
    TitelEdit = new QLineEdit(this);
    TitelEdit->setMaxLength(80);
    TitelEdit->setToolTip("Eingabe des Diagrammtitels");
    TitelEdit->setMinimumWidth(TitelEdit->fontMetrics().averageCharWidth() * 60);
    auto* titleLabel = new QLabel("Titel:", this);
    titleLabel->setBuddy(TitelEdit);
    labels->addWidget(titleLabel, 4, 0);
    labels->addWidget(TitelEdit, 4, 1, 1, 2);

    ComboBox1 = new QComboBox(this);
    ComboBox1->setPlaceholderText("Liste erlaubter Schlüsselwörter im Titel ");
    QStringList placeholders = Placeholders();
    placeholders.sort();
    ComboBox1->addItems(placeholders);
    ComboBox1->setCurrentIndex(-1);
    labels->addWidget(ComboBox1, 5, 1, 1, 2);

    auto* options = new QGroupBox("Legendenoptionen", this);
    AutoLegendeCheckBox = new QCheckBox("Auto-Legende?", options);
    AutoLegendeCheckBox->setToolTip("Legende automatisch generieren?");
    DatumCheckBox = new QCheckBox("Datum in Legende?", options);
    DatumCheckBox->setToolTip("Datum in Legende einbinden?");
    BemerkungCheckBox = new QCheckBox("Bemerkung in Legende?", options);
    LegendeComboBox = new QComboBox(options);
    LegendeComboBox->setToolTip("Legenden-Stil");
    for (const char* style : kStyles) LegendeComboBox->addItem(style);
    auto* optionLayout = new QVBoxLayout(options);
    optionLayout->addWidget(AutoLegendeCheckBox);
    optionLayout->addWidget(DatumCheckBox);
    optionLayout->addWidget(BemerkungCheckBox);
    optionLayout->addWidget(LegendeComboBox);

    OK_Button = new QPushButton("OK", this);
    OK_Button->setDefault(true);
    Cancel_Button = new QPushButton("Abbruch", this);
    Cancel_Button->setToolTip("Abbruch ohne Änderung der Legendentexte");
    connect(OK_Button, &QPushButton::clicked, this, [this] { OK_ButtonClick(); });
    connect(Cancel_Button, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OK_Button);
    buttons->addWidget(Cancel_Button);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(labels);
    layout->addWidget(options);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    AddHelpKey(this, THelpTopic::ViewTitelLegende);
}

void TLegendeForm::showEvent(QShowEvent* event)
{
    FormActivate();
    QDialog::showEvent(event);
}

void TLegendeForm::FormActivate()
{
    const TMOX_Diagram& d = *context.Diagram;
    const TIniFile& ini = *context.Ini;
    for (int i = 0; i < 4; ++i) KurveEdit[i]->setText(Q(d.get_Legende(i + 1)));
    TitelEdit->setText(Q(d.get_Titel()));
    AutoLegendeCheckBox->setChecked(ini.ReadBool("Diagram", "Autolegende", false));
    DatumCheckBox->setChecked(ini.ReadBool("Diagram", "Datum in Legende", true));
    BemerkungCheckBox->setChecked(ini.ReadBool("Diagram", "Bemerkung in Legende", true));
    const int style = ini.ReadInteger("Diagram", "Legende-Stil", 1);
    LegendeComboBox->setCurrentIndex(style >= 0 && style < kStyleCount ? style : 1);
    ComboBox1->setCurrentIndex(-1);
}

void TLegendeForm::OK_ButtonClick()
{
    TMOX_Diagram& d = *context.Diagram;
    TIniFile& ini = *context.Ini;
    for (int i = 0; i < 4; ++i) {
        d.set_Legende(i + 1, S(KurveEdit[i]->text()));
        ini.WriteString("Diagram", "Label" + std::to_string(i + 1), S(KurveEdit[i]->text()));
    }
    d.set_Titel(S(TitelEdit->text()));
    ini.WriteString("Diagram", "Titel", d.get_Titel());
    ini.WriteBool("Diagram", "Autolegende", AutoLegendeCheckBox->isChecked());
    d.set_is_Autolegende(AutoLegendeCheckBox->isChecked());
    ini.WriteBool("Diagram", "Datum in Legende", DatumCheckBox->isChecked());
    d.set_is_Legendedatum(DatumCheckBox->isChecked());
    ini.WriteBool("Diagram", "Bemerkung in Legende", BemerkungCheckBox->isChecked());
    d.set_is_Legendebemerkung(BemerkungCheckBox->isChecked());
    ini.WriteInteger("Diagram", "Legende-Stil", LegendeComboBox->currentIndex());
    d.set_Legendestil(static_cast<MOX_Legende_Typ>(LegendeComboBox->currentIndex()));
    ini.UpdateFile();
    accept();
}
