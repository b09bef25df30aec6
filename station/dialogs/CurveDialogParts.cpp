#include "CurveDialogParts.h"

#include <QButtonGroup>
#include <QDialog>
#include <QGridLayout>
#include <QPainter>
#include <QRadioButton>
#include <exception>

#include "mox/Mm.h"
#include "station/app/SkippedCorrections.h"
#include "widgets/QtColor.h"

TCurveColorKey::TCurveColorKey(const TMOX_Diagram& diagram, QWidget* parent) : QWidget(parent), diagram(diagram)
{
    setFixedSize(sizeHint());
}

void TCurveColorKey::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QFontMetrics fm(font());
    for (int n = 1; n <= TMOX_Diagram::CurveCount; ++n) {
        const int top = (n - 1) * 15;
        p.setPen(palette().color(QPalette::WindowText));
        p.drawText(1, top + fm.ascent(), QString::number(n) + ":");
        p.setPen(QPen(ToQColor(diagram.get_Color(n)), 3, Qt::SolidLine, Qt::FlatCap));
        p.drawLine(20, top + 7, 60, top + 7);
    }
}

TRadioGroup::TRadioGroup(const QString& caption, const QStringList& items, QWidget* parent)
    : QGroupBox(caption, parent), buttons(new QButtonGroup(this))
{
    auto* grid = new QGridLayout(this);
    const int rows = (items.size() + 1) / 2;
    for (int i = 0; i < items.size(); ++i) {
        auto* b = new QRadioButton(items[i], this);
        buttons->addButton(b, i);
        grid->addWidget(b, i % rows, i / rows);
    }
}

int TRadioGroup::ItemIndex() const { return buttons->checkedId(); }

void TRadioGroup::SetItemIndex(int index)
{
    if (QAbstractButton* b = buttons->button(index)) b->setChecked(true);
}

std::string ReloadLoadedCurves(TMOX_Diagram& diagram)
{
    std::string errors;
    for (int c = 1; c <= TMOX_Diagram::CurveCount; ++c) {
        if (!diagram.is_loaded(c)) continue;
        const MOX_Header h = diagram.get_Header(c);
        try {
            diagram.LoadData(h.FileName, h.Vector + 1, c);
        } catch (const std::exception& e) {
            errors += e.what() + std::string("\n");
        }
    }
    // A curve that could not be reloaded no longer counts in the K index.
    diagram.bestimme_K_Wert();
    return errors + SkippedCorrectionLines(diagram);
}
