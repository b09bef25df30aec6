// Fields that show device values outside the range the window offers: the value is shown as
// it is (never clamped, so it can go back unchanged) and the field is framed red with a note.
#pragma once

#include <QString>

class QSpinBox;
class QWidget;

namespace fieldmark {

// A spin field offering low..high; typing and the arrows stay within that range.
void SetOffered(QSpinBox* spin, int low, int high);
// Shows value as it is, widening the field's range just enough when it lies outside.
void ShowValue(QSpinBox* spin, int value);
// Back to the offered range, the value moved to its nearest end: once the observer changes
// the field, only offered values can be chosen.
void Narrow(QSpinBox* spin);

void Mark(QWidget* field, const QString& note);
void Unmark(QWidget* field);
bool IsMarked(const QWidget* field);

}  // namespace fieldmark
