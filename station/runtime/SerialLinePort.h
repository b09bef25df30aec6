#pragma once
// The device's serial port as the station's line source: 9600 baud, lines framed by CR and
// LF, RTS and DTR raised while open.
#include "station/runtime/LinePort.h"
#include "station/serial/ComPort.h"

class SerialLinePort : public LinePort {
public:
    SerialLinePort();
    ~SerialLinePort() override;

    void SetName(const std::string& name) override { port.SetPort(name); }
    std::string Name() const override { return port.Port(); }
    bool Open() override;
    void Close() override;
    bool IsOpen() const override { return port.Connected(); }
    std::string LastError() const override { return port.LastError(); }
    // The port itself, for the port chooser of the settings dialog.
    TComPort& Port() { return port; }

private:
    TComPort port;
    TComDataPacket packets;
};
