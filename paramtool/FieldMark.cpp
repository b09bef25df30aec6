#include "paramtool/FieldMark.h"

#include <algorithm>

#include <QLineEdit>
#include <QSpinBox>
#include <QVariant>

namespace fieldmark {

namespace {

const char* const Low = "offeredLow";
const char* const High = "offeredHigh";
const char* const Note = "deviceNote";
const char* const Length = "offeredLength";

int Digits(int value) { return static_cast<int>(QString::number(value).size()); }

void SetRange(QSpinBox* spin, int low, int high)
{
    spin->setRange(low, high);
    // A field limited in characters must still show the widest value of its range.
    QLineEdit* edit = spin->findChild<QLineEdit*>();
    if (!edit) return;
    if (!spin->property(Length).isValid()) spin->setProperty(Length, edit->maxLength());
    edit->setMaxLength(std::max(spin->property(Length).toInt(), Digits(high)));
}

}  // namespace

void SetOffered(QSpinBox* spin, int low, int high)
{
    spin->setProperty(Low, low);
    spin->setProperty(High, high);
    spin->setRange(low, high);
}

void ShowValue(QSpinBox* spin, int value)
{
    const int low = spin->property(Low).toInt(), high = spin->property(High).toInt();
    SetRange(spin, std::min(low, value), std::max(high, value));
    spin->setValue(value);
}

void Narrow(QSpinBox* spin) { SetRange(spin, spin->property(Low).toInt(), spin->property(High).toInt()); }

void Mark(QWidget* field, const QString& note)
{
    field->setProperty(Note, note);
    field->setToolTip(note);
    field->setStyleSheet(QString("%1 { border: 2px solid red; }").arg(field->metaObject()->className()));
}

void Unmark(QWidget* field)
{
    if (!IsMarked(field)) return;
    field->setProperty(Note, QVariant());
    field->setToolTip(QString());
    field->setStyleSheet(QString());
}

bool IsMarked(const QWidget* field) { return field->property(Note).isValid(); }

}  // namespace fieldmark
