#include "station/dialogs/KurvenForm.h"

#include <QEvent>
#include <QFormLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTextEdit>
#include <QVBoxLayout>

#include "mox/Mm.h"
#include "mox/rtl/SysUtils.h"
#include "station/app/CurveText.h"
#include "station/dialogs/DialogParts.h"
#include "widgets/QtColor.h"

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

class ColourLine : public QWidget {
public:
    ColourLine(const TMOX_Diagram* diagram, const int* curve) : diagram(diagram), curve(curve) { setFixedSize(64, 14); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        if (!diagram || !TMOX_Diagram::is_valid_curve(*curve)) return;
        QPainter p(this);
        p.setPen(QPen(ToQColor(diagram->get_Color(*curve)), 5));
        p.drawLine(0, 7, 60, 7);
    }

private:
    const TMOX_Diagram* diagram;
    const int* curve;
};

QLineEdit* Field(QFormLayout* form, const char* label, const char* hint)
{
    auto* e = new QLineEdit;
    e->setReadOnly(true);
    e->setToolTip(QString::fromUtf8(hint));
    form->addRow(QString::fromUtf8(label), e);
    return e;
}

}  // namespace

TKurvenForm::TKurvenForm(TStationContext& context)
    : QDialog(context.MainWindow,
              Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      ctx(context)
{
    setWindowTitle("Kurveninformationen");
    setModal(false);
    resize(420, 440);

    text = new QTextEdit;
    text->setReadOnly(true);
    text->setLineWrapMode(QTextEdit::NoWrap);

    auto* stats = new QGroupBox("Kurvenstatistik");
    auto* form = new QFormLayout(stats);
    countEdit = Field(form, "Messwerte:", "Anzahl der Messwerte in der Kurve");
    maxEdit = Field(form, "Maximum:", "Größter Messwert");
    minEdit = Field(form, "Minimum:", "Kleinster Messwert");
    auto* lower = new QFormLayout;
    kEdit = Field(lower, "K-Index:", "K-Werte der Kurve");
    akEdit = Field(lower, "Ak-Wert:", "");
    akEdit->setEnabled(false);

    auto* ok = new QPushButton("OK");
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, [this] { hide(); });

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new ColourLine(ctx.Diagram, &kurve));
    layout->addWidget(text, 1);
    layout->addWidget(stats);
    layout->addLayout(lower);
    layout->addWidget(ok, 0, Qt::AlignHCenter);

    AddHelpKey(this, THelpTopic::ViewKurveninformationen);
}

void TKurvenForm::SetKurve(int curve)
{
    kurve = curve;
    if (isVisible()) FormActivate();
}

void TKurvenForm::FormActivate()
{
    text->clear();
    update();
    if (kurve <= 0) return;
    const TMOX_Diagram& d = *ctx.Diagram;
    QStringList lines;
    for (const std::string& l : HeaderBlock(d, kurve, " ,")) lines << Q(l);
    text->setPlainText(lines.join('\n'));

    if (d.get_data_count(kurve) <= 0) {
        countEdit->setText("0");
        maxEdit->setText("NaN");
        minEdit->setText("NaN");
    } else {
        double min, max;
        d.get_Min_Max(kurve, min, max);
        countEdit->setText(Q(IntToStr(d.get_data_count(kurve))));
        maxEdit->setText(Q(IntToStr(RoundHalfEven(max)) + "nT"));
        minEdit->setText(Q(IntToStr(RoundHalfEven(min)) + "nT"));
    }
    int k[8];
    for (int b = 0; b < 8; ++b) k[b] = d.get_K_Curve(kurve, b + 1);
    kEdit->setText(Q(KRow(k)));
}

bool TKurvenForm::event(QEvent* e)
{
    if (e->type() == QEvent::WindowActivate) FormActivate();
    return QDialog::event(e);
}

void TKurvenForm::showEvent(QShowEvent* e)
{
    if (QScreen* s = screen()) move(s->availableGeometry().center() - rect().center());
    FormActivate();
    QDialog::showEvent(e);
}
