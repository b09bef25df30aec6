#include "station/runtime/SerialLinePort.h"

namespace {

// The longest line the device sends, with room to spare.
constexpr int kPacketSize = 70;

}  // namespace

SerialLinePort::SerialLinePort()
{
    port.OnBeforeClose = [this] {
        port.SetRTS(false);
        port.SetDTR(false);
    };
    port.OnError = [this](const std::string& reason) {
        if (OnLost) OnLost(reason);
    };
    packets.SetComPort(&port);
    packets.SetSize(kPacketSize);
    packets.SetStartString("\r");
    packets.SetStopString("\n");
    packets.OnPacket = [this](TComDataPacket*, const std::string& line) {
        if (OnLine) OnLine(line);
        port.ClearBuffer(true, true);
    };
}

SerialLinePort::~SerialLinePort()
{
    packets.OnPacket = nullptr;
    port.OnError = nullptr;
    if (port.Connected()) port.SetConnected(false);  // lowers RTS and DTR first
}

bool SerialLinePort::Open()
{
    if (!port.SetConnected(true)) return false;
    // A terminal without modem lines refuses these; the data flows regardless.
    port.SetRTS(true);
    port.SetDTR(true);
    return true;
}

void SerialLinePort::Close()
{
    if (port.Connected()) port.SetConnected(false);
}
