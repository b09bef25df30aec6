#include "paramtool/MoxProtocol.h"

#include "station/serial/ComPort.h"

#include <chrono>
#include <thread>

using namespace moxparam;

TMoxProtocol::TMoxProtocol(TComPort& port) : port_(port)
{
    Wait = [](int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); };
    port_.OnAfterOpen = [this] { ComPortAfterOpen(); };
    port_.OnBeforeClose = [this] { ComPortBeforeClose(); };
}

TMoxProtocol::~TMoxProtocol()
{
    port_.OnAfterOpen = nullptr;
    port_.OnBeforeClose = nullptr;
}

TMoxProtocol::TFrame TMoxProtocol::TimeFrame(int hour, int minute, int second)
{
    return {0x01,
            static_cast<std::uint8_t>(hour),
            static_cast<std::uint8_t>(minute),
            static_cast<std::uint8_t>(second),
            0xFF,
            0x1B};
}

TMoxProtocol::TFrame TMoxProtocol::DateFrame(int day, int month, int year)
{
    return {0x02,
            static_cast<std::uint8_t>(day),
            static_cast<std::uint8_t>(month),
            static_cast<std::uint8_t>(((year - 2000) % 256 + 256) % 256),
            0xFF,
            0x1B};
}

void TMoxProtocol::ComPortAfterOpen() { port_.ClearBuffer(true, true); }

void TMoxProtocol::ComPortBeforeClose()
{
    port_.SetRTS(false);
    port_.SetDTR(false);
}

bool TMoxProtocol::Open()
{
    portError_.clear();
    if (!port_.SetConnected(true)) {
        portError_ = port_.LastError();
        return false;
    }
    port_.SetRTS(true);
    port_.SetDTR(true);
    return true;
}

void TMoxProtocol::Close() { port_.SetConnected(false); }

void TMoxProtocol::Progress(int value)
{
    if (OnProgress) OnProgress(value);
}

bool TMoxProtocol::ReadByte(std::uint8_t& byte) { return port_.Read(&byte, 1) == 1; }

void TMoxProtocol::Send(const std::uint8_t* bytes, int count)
{
    for (int i = 0; i < count; ++i) port_.Write(bytes + i, 1);
}

TMoxResult TMoxProtocol::SetTime(int hour, int minute, int second)
{
    if (!Open()) return TMoxResult::PortError;
    const TFrame frame = TimeFrame(hour, minute, second);
    Send(frame.data(), static_cast<int>(frame.size()));
    Close();
    return TMoxResult::Ok;
}

TMoxResult TMoxProtocol::SetDate(int day, int month, int year)
{
    if (!Open()) return TMoxResult::PortError;
    const TFrame frame = DateFrame(day, month, year);
    Send(frame.data(), static_cast<int>(frame.size()));
    Close();
    return TMoxResult::Ok;
}

TMoxResult TMoxProtocol::ReadParameters(TParamSet& buffer)
{
    if (!Open()) return TMoxResult::PortError;
    const std::uint8_t command[3] = {0x03, 0xFF, 0x1B};
    Send(command, 3);
    // The device sends its set twice; only two equal copies are taken.
    for (int i = 0; i < Size; ++i) {
        std::uint8_t b;
        if (!ReadByte(b)) {
            Close();
            return TMoxResult::NoAnswer;
        }
        Progress(i);
        buffer[i] = b;
        Wait(ReadPause);
    }
    return FinishWithCopy(buffer);
}

TMoxResult TMoxProtocol::WriteParameters(const TParamSet& buffer)
{
    if (!Open()) return TMoxResult::PortError;
    const std::uint8_t command[3] = {0x04, 0xFF, 0x1B};
    Send(command, 3);
    Wait(WritePause);
    Progress(0);
    // The device takes the set slowly, byte by byte, and then echoes all of it.
    for (int i = 0; i < Size; ++i) {
        Send(&buffer[i], 1);
        Progress(i);
        Wait(WritePause);
    }
    return FinishWithCopy(buffer);
}

// Reads the device's second copy (after a read) or its echo (after a write), compares it with
// buffer byte for byte, and closes the port.
TMoxResult TMoxProtocol::FinishWithCopy(const TParamSet& buffer)
{
    bool differs = false;
    for (int i = 0; i < Size; ++i) {
        std::uint8_t b;
        if (!ReadByte(b)) {
            Close();
            return TMoxResult::NoAnswer;
        }
        Progress(i + 50);
        differs = differs || b != buffer[i];
        Wait(ReadPause);
    }
    Progress(0);
    Close();
    return differs ? TMoxResult::Differs : TMoxResult::Ok;
}
