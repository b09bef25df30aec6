#include "station/dialogs/InfoForm.h"

#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTextEdit>
#include <QVBoxLayout>

#include "mox/Mm.h"
#include "station/app/CurveText.h"
#include "station/dialogs/DialogParts.h"
#include "widgets/QtColor.h"

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

// "1:" to "4:" with a bar in each curve's colour.
class ColourKey : public QWidget {
public:
    explicit ColourKey(const TMOX_Diagram* diagram) : diagram(diagram) { setFixedSize(290, 16); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        for (int n = 1; n <= 4; ++n) {
            const int x = (n - 1) * 75;
            p.setPen(palette().color(QPalette::WindowText));
            p.drawText(QRect(x, 0, 20, 14), Qt::AlignLeft | Qt::AlignTop, QString("%1:").arg(n));
            if (!diagram) continue;
            p.setPen(QPen(ToQColor(diagram->get_Color(n)), 5));
            p.drawLine(x + 20, 7, x + 60, 7);
        }
    }

private:
    const TMOX_Diagram* diagram;
};

}  // namespace

TInfoForm::TInfoForm(TStationContext& context)
    : QDialog(context.MainWindow,
              Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      ctx(context)
{
    setWindowTitle("Kurvendaten");
    setModal(false);
    resize(480, 460);

    text = new QTextEdit;
    text->setReadOnly(true);
    text->setLineWrapMode(QTextEdit::NoWrap);
    text->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    text->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    auto* frame = new QGroupBox("K-Index");
    auto* grid = new QGridLayout(frame);
    for (int n = 0; n < 4; ++n) {
        kEdits[n] = new QLineEdit;
        kEdits[n]->setReadOnly(true);
        grid->addWidget(new QLabel(QString("Kurve%1:").arg(n + 1)), n, 0);
        grid->addWidget(kEdits[n], n, 1);
    }
    kEdit = new QLineEdit;
    kEdit->setReadOnly(true);
    grid->addWidget(new QLabel("gesamt:"), 4, 0);
    grid->addWidget(kEdit, 4, 1);

    auto* ok = new QPushButton("OK");
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, [this] { hide(); });

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text, 1);
    layout->addWidget(new ColourKey(ctx.Diagram));
    layout->addWidget(frame);
    layout->addWidget(ok, 0, Qt::AlignHCenter);

    AddHelpKey(this, THelpTopic::ViewInfo);
}

void TInfoForm::FormActivate()
{
    TMOX_Diagram& d = *ctx.Diagram;
    QStringList lines;
    for (int c = 1; c <= 4; ++c)
        for (const std::string& l : HeaderBlock(d, c, ", ")) lines << Q(l);
    text->setPlainText(lines.join('\n'));

    for (int c = 1; c <= 4; ++c) {
        QLineEdit* e = kEdits[c - 1];
        e->clear();
        e->setEnabled(d.is_loaded(c));
        if (!d.is_loaded(c)) continue;
        int k[8];
        for (int b = 0; b < 8; ++b) k[b] = d.get_K_Curve(c, b + 1);
        e->setText(Q(KRow(k)));
    }
    kEdit->clear();
    // With no curve there is no combined index to show.
    if (!d.is_empty()) {
        int k[8];
        for (int b = 0; b < 8; ++b) k[b] = d.get_K_index(b + 1);
        kEdit->setText(Q(KRow(k)));
    }
    update();
}

bool TInfoForm::event(QEvent* e)
{
    if (e->type() == QEvent::WindowActivate) FormActivate();
    return QDialog::event(e);
}

void TInfoForm::showEvent(QShowEvent* e)
{
    if (QScreen* s = screen()) move(s->availableGeometry().center() - rect().center());
    FormActivate();
    QDialog::showEvent(e);
}
