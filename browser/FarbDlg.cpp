#include "browser/FarbDlg.h"

#include <QColorDialog>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

#include "browser/BrowserLogic.h"
#include "mox/Mm.h"
#include "mox/rtl/IniFile.h"
#include "widgets/CurveMark.h"

namespace {

QColor ToQColor(TColor c) { return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF)); }
TColor FromQColor(const QColor& c) { return TColor(c.red()) | TColor(c.green()) << 8 | TColor(c.blue()) << 16; }

// The standard and the extended colours a background box offers.
struct NamedColor {
    const char* name;
    TColor color;
};
constexpr NamedColor kColors[] = {
    {"Black", 0x000000},       {"Maroon", 0x000080},   {"Green", 0x008000}, {"Olive", 0x008080},
    {"Navy", 0x800000},        {"Purple", 0x800080},   {"Teal", 0x808000},  {"Gray", 0x808080},
    {"Silver", 0xC0C0C0},      {"Red", 0x0000FF},      {"Lime", 0x00FF00},  {"Yellow", 0x00FFFF},
    {"Blue", 0xFF0000},        {"Fuchsia", 0xFF00FF},  {"Aqua", 0xFFFF00},  {"White", 0xFFFFFF},
    {"Money green", 0xC0DCC0}, {"Sky blue", 0xF0CAA6}, {"Cream", 0xF0FBFF}, {"Medium gray", 0xA4A0A0},
};

QIcon Swatch(TColor c)
{
    QPixmap p(16, 12);
    p.fill(ToQColor(c));
    QPainter(&p).drawRect(0, 0, 15, 11);
    return QIcon(p);
}

}  // namespace

TFarbDlg::TFarbDlg(TMOX_Diagram& pane1, TMOX_Diagram& pane2, TIniFile& ini, QWidget* parent)
    : QDialog(parent), pane1(pane1), pane2(pane2), ini(ini)
{
    setObjectName("FarbDlg");
    setWindowTitle("Color setup");
    setModal(false);

    // Each curve's colour mark and button in one row, so that the two stay together.
    paintBox = new QWidget(this);
    auto* curves = new QGridLayout(paintBox);
    curves->setContentsMargins(0, 0, 0, 0);
    for (int c = 1; c <= 4; ++c) {
        curves->addWidget(new TCurveMark([this, c] { return this->pane1.get_Color(c); }), c - 1, 0);
        auto* b = new QPushButton(QString("Curve %1").arg(c));
        connect(b, &QPushButton::clicked, this, [this, c] { CurveButtonClick(c); });
        curves->addWidget(b, c - 1, 1);
        curveButtons[c - 1] = b;
    }
    auto* reset = new QPushButton("Reset");
    connect(reset, &QPushButton::clicked, this, [this] { ResetButtonClick(); });
    auto* top = new QHBoxLayout;
    top->addWidget(paintBox);
    top->addWidget(reset, 0, Qt::AlignTop);

    bkColorBox = new QComboBox;
    bkColorBox->setObjectName("bkColorBox");
    for (const NamedColor& nc : kColors)
        bkColorBox->addItem(Swatch(nc.color), nc.name, QVariant::fromValue(uint(nc.color)));
    auto* bk = new QHBoxLayout;
    bk->addWidget(new QLabel("Background:"));
    bk->addWidget(bkColorBox, 1);

    auto* ok = new QPushButton("OK");
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, [this] { OKButtonClick(); });
    auto* cancel = new QPushButton("Cancel");
    connect(cancel, &QPushButton::clicked, this, &QDialog::hide);
    auto* closing = new QHBoxLayout;
    closing->addStretch();
    closing->addWidget(ok);
    closing->addWidget(cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addSpacing(12);
    layout->addLayout(bk);
    layout->addSpacing(12);
    layout->addLayout(closing);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void TFarbDlg::FormActivate()
{
    SelectBkColor(pane1.get_bkColor());
    paintBox->update();
}

void TFarbDlg::SelectBkColor(TColor color)
{
    int index = bkColorBox->findData(QVariant::fromValue(uint(color)));
    if (index < 0) {
        // A colour chosen elsewhere is offered as it is.
        bkColorBox->addItem(Swatch(color), QString("Custom #%1").arg(ToQColor(color).name().mid(1).toUpper()),
                            QVariant::fromValue(uint(color)));
        index = bkColorBox->count() - 1;
    }
    bkColorBox->setCurrentIndex(index);
}

void TFarbDlg::CurveButtonClick(int curve)
{
    const QColor chosen =
        QColorDialog::getColor(ToQColor(pane1.get_Color(curve)), this, QString("Curve %1").arg(curve));
    if (!chosen.isValid()) return;
    pane1.set_Color(curve, FromQColor(chosen));
    pane2.set_Color(curve, FromQColor(chosen));
    Changed();
}

void TFarbDlg::ResetButtonClick()
{
    pane1.reset_Colors();
    pane2.reset_Colors();
    Changed();
}

void TFarbDlg::OKButtonClick()
{
    const TColor colors[4] = {pane1.get_Color(1), pane1.get_Color(2), pane1.get_Color(3), pane1.get_Color(4)};
    const TColor bk = TColor(bkColorBox->currentData().toUInt());
    pane1.set_bkColor(bk);
    pane2.set_bkColor(bk);
    WriteBrowserColors(ini, colors, bk);
    ini.UpdateFile();
    hide();
    if (OnColorsChanged) OnColorsChanged();
}

void TFarbDlg::Changed()
{
    paintBox->update();
    if (OnColorsChanged) OnColorsChanged();
}

// Filled when shown, not at every activation: coming back from the colour chooser must not
// undo a background the observer has just picked.
void TFarbDlg::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    FormActivate();
}

void TFarbDlg::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_F1 && OnHelp) {
        OnHelp();
        return;
    }
    QDialog::keyPressEvent(event);
}
