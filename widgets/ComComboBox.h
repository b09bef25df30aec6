// Port chooser: a drop-down of the machine's serial ports that also takes a typed name or
// path (pseudo-terminals are not listed), bound to a TComPort.
#pragma once

#include <QComboBox>

class TComPort;

class TComComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit TComComboBox(QWidget* parent = nullptr);

    void SetComPort(TComPort* port);  // shows the port's current name
    TComPort* ComPort() const { return port_; }
    void SetText(const QString& name);  // selects name, adding nothing to the list
    QString Text() const { return currentText().trimmed(); }
    void ApplySettings();  // writes the chosen name into the bound port
    void Refresh();        // lists the machine's ports again, keeping the chosen name

private:
    TComPort* port_ = nullptr;
};
