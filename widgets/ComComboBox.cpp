#include "widgets/ComComboBox.h"

#include "station/serial/ComPort.h"

#include <vector>

TComComboBox::TComComboBox(QWidget* parent) : QComboBox(parent)
{
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    Refresh();
}

void TComComboBox::Refresh()
{
    const QString chosen = Text();
    std::vector<std::string> names;
    EnumComPorts(names);
    clear();
    for (const std::string& n : names) addItem(QString::fromStdString(n));
    SetText(chosen);
}

void TComComboBox::SetComPort(TComPort* port)
{
    port_ = port;
    if (port_) SetText(QString::fromStdString(port_->Port()));
}

void TComComboBox::SetText(const QString& name)
{
    const int i = findText(name);
    if (i >= 0) setCurrentIndex(i);
    else setEditText(name);
}

void TComComboBox::ApplySettings()
{
    if (port_ && !Text().isEmpty()) port_->SetPort(Text().toStdString());
}
