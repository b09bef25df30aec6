#pragma once
// Pieces shared by the curve dialogs: the colour key of the four curves, two-column radio
// groups, the F1 help key, and the reload that applies changed filter switches.
#include "station/dialogs/DialogParts.h"
#include <QGroupBox>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <string>

class QButtonGroup;
class QDialog;
class TMOX_Diagram;

// "1:" to "4:" with a 3-pixel line in each curve's colour, as the diagram draws them.
class TCurveColorKey : public QWidget {
public:
    TCurveColorKey(const TMOX_Diagram& diagram, QWidget* parent = nullptr);
    QSize sizeHint() const override { return {64, 60}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const TMOX_Diagram& diagram;
};

// A captioned group of radio buttons in two columns; the button ids are the item indexes.
class TRadioGroup : public QGroupBox {
public:
    TRadioGroup(const QString& caption, const QStringList& items, QWidget* parent = nullptr);
    int ItemIndex() const;
    void SetItemIndex(int index);
    QButtonGroup* Buttons() const { return buttons; }

private:
    QButtonGroup* buttons;
};

// Reloads every loaded curve from its own file, so that changed correction or filter switches
// take effect; a curve whose file is gone becomes unloaded. Returns the messages of files
// that could not be read (one line each) and the correction lines skipped, empty when all
// went well.
std::string ReloadLoadedCurves(TMOX_Diagram& diagram);

namespace curvetext {
inline QString Q(const std::string& s) { return QString::fromStdString(s); }
inline std::string S(const QString& s) { return s.toStdString(); }
}  // namespace curvetext
