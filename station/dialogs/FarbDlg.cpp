#include "station/dialogs/FarbDlg.h"

#include <QColorDialog>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include "mox/Mm.h"
#include "mox/rtl/IniFile.h"
#include "station/dialogs/DialogParts.h"
#include "widgets/CurveMark.h"
#include "widgets/QtColor.h"

namespace {

struct NamedColor {
    const char* name;
    TColor color;
};

// The standard colours and the extended ones of the colour list.
const NamedColor kNamedColors[] = {
    {"Schwarz", 0x000000},  {"Kastanienbraun", 0x000080}, {"Grün", 0x008000},
    {"Oliv", 0x008080},     {"Marineblau", 0x800000},     {"Violett", 0x800080},
    {"Blaugrün", 0x808000}, {"Grau", 0x808080},           {"Silber", 0xC0C0C0},
    {"Rot", 0x0000FF},      {"Hellgrün", 0x00FF00},       {"Gelb", 0x00FFFF},
    {"Blau", 0xFF0000},     {"Fuchsia", 0xFF00FF},        {"Aqua", 0xFFFF00},
    {"Weiß", 0xFFFFFF},     {"Dollargrün", 0xC0DCC0},     {"Himmelblau", 0xF0CAA6},
    {"Creme", 0xF0FBFF},    {"Mittelgrau", 0xA4A0A0},
};

QIcon Swatch(TColor color)
{
    QPixmap p(16, 12);
    p.fill(ToQColor(color));
    QPainter(&p).drawRect(0, 0, 15, 11);
    return QIcon(p);
}

}  // namespace

TFarbDlg::TFarbDlg(TStationContext& context) : QDialog(context.MainWindow), ctx(context)
{
    setWindowTitle("Farbeinstellungen");
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    // Each curve's button with its colour mark in one row, so that the two stay together.
    PaintBox = new QWidget;
    auto* curves = new QGridLayout(PaintBox);
    curves->setContentsMargins(0, 0, 0, 0);
    curves->setColumnStretch(2, 1);
    for (int n = 1; n <= 4; ++n) {
        CurveButton[n - 1] = new QPushButton(QString("Kurve %1").arg(n));
        CurveButton[n - 1]->setFixedHeight(30);
        connect(CurveButton[n - 1], &QPushButton::clicked, this, [this, n] { ButtonClick(n); });
        curves->addWidget(CurveButton[n - 1], n - 1, 0);
        curves->addWidget(new TCurveMark([this, n] { return ctx.Diagram->get_Color(n); }), n - 1, 1);
    }

    bkColorBox = new QComboBox;
    for (const NamedColor& c : kNamedColors) bkColorBox->addItem(Swatch(c.color), c.name, QVariant::fromValue(c.color));
    auto* bk = new QHBoxLayout;
    bk->addWidget(new QLabel("Hintergrund:"));
    bk->addWidget(bkColorBox, 1);

    Default_Button = new QPushButton("Reset");
    QHBoxLayout* buttons = OkCancelRow(OK_Button, CancelButton, {Default_Button});

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(PaintBox);
    layout->addLayout(bk);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(Default_Button, &QPushButton::clicked, this, [this] { Default_ButtonClick(); });
    connect(OK_Button, &QPushButton::clicked, this, [this] { OK_ButtonClick(); });
    connect(CancelButton, &QPushButton::clicked, this, [this] { CancelButtonClick(); });
    AddHelpKey(this, THelpTopic::ViewFarbeinstellungen);

    // The picker's sixteen custom colour slots start white.
    for (int i = 0; i < QColorDialog::customCount(); ++i) QColorDialog::setCustomColor(i, Qt::white);
    PickColor = [this](TColor current) -> std::optional<TColor> {
        const QColor c = QColorDialog::getColor(ToQColor(current), this, "Farbe");
        if (!c.isValid()) return std::nullopt;
        return FromQColor(c);
    };
}

void TFarbDlg::showEvent(QShowEvent* event)
{
    CentreOnDesktop(this);
    FormActivate();
    QDialog::showEvent(event);
}

void TFarbDlg::FormActivate()
{
    SelectBkColor(ctx.Diagram->get_bkColor());
    PaintBox->update();
}

TColor TFarbDlg::SelectedBkColor() const { return bkColorBox->currentData().value<TColor>(); }

void TFarbDlg::SelectBkColor(TColor color)
{
    int i = bkColorBox->findData(QVariant::fromValue(color));
    if (i < 0) {
        // A colour set elsewhere keeps its own entry, so OK does not replace it by another.
        bkColorBox->addItem(Swatch(color), QString("Benutzerdefiniert (#%1)").arg(color, 6, 16, QChar('0')),
                            QVariant::fromValue(color));
        i = bkColorBox->count() - 1;
    }
    bkColorBox->setCurrentIndex(i);
}

void TFarbDlg::ButtonClick(int curve)
{
    if (!PickColor) return;
    if (const std::optional<TColor> c = PickColor(ctx.Diagram->get_Color(curve))) {
        ctx.Diagram->set_Color(curve, *c);
        PaintBox->update();
    }
}

void TFarbDlg::Default_ButtonClick()
{
    ctx.Diagram->reset_Colors();
    SelectBkColor(ctx.Diagram->get_bkColor());
    PaintBox->update();
}

void TFarbDlg::OK_ButtonClick()
{
    TIniFile& ini = *ctx.Ini;
    for (int n = 1; n <= 4; ++n)
        ini.WriteInteger("Diagram", "Color" + std::to_string(n), int(ctx.Diagram->get_Color(n)));
    ctx.Diagram->set_bkColor(SelectedBkColor());
    ini.WriteInteger("Diagram", "bkColor", int(ctx.Diagram->get_bkColor()));
    ini.UpdateFile();
    if (ColorsChanged) ColorsChanged();
    accept();
}

void TFarbDlg::CancelButtonClick() { reject(); }
