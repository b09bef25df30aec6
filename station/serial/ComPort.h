// Serial port adapter shared by the station and the parameter tool: a port object with
// blocking reads, a line framer bound to it, and the port enumerator.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class QObject;
class QSerialPort;
class TComDataPacket;

// Device path for a port name as the user or the settings file gives it: "COM3" is read as
// /dev/ttyS2, a bare name such as "ttyUSB0" lives in /dev, anything with a slash is a path.
std::string ComPortDevicePath(const std::string& name);

// Fills list with the names of the machine's serial ports ("ttyS0", "ttyUSB0", ...), sorted.
// Pseudo-terminals are not listed; callers let the user type a name or path.
void EnumComPorts(std::vector<std::string>& list);

// A serial line at 9600 baud, 8N1, without flow control. RTS and DTR change only through
// SetRTS and SetDTR. All calls and events happen on the thread that created the port.
class TComPort {
public:
    TComPort();
    ~TComPort();
    TComPort(const TComPort&) = delete;
    TComPort& operator=(const TComPort&) = delete;

    void SetPort(const std::string& name);  // takes effect at the next opening
    const std::string& Port() const { return port_; }

    // Opens or closes the line. An opening that fails returns false and leaves the reason,
    // naming the device, in LastError(); the port then stays closed and usable.
    bool SetConnected(bool open);
    bool Connected() const;
    const std::string& LastError() const { return lastError_; }

    // A terminal without modem lines (a pseudo-terminal) refuses these; that is no reason to
    // stop, so the refusal is only returned.
    bool SetRTS(bool on);
    bool SetDTR(bool on);

    // Discards received bytes not yet handed out and unsent bytes. Called from a packet event,
    // the receive side is left alone: what follows the packet is the device's next line.
    void ClearBuffer(bool input, bool output);

    // Sends count bytes in order and waits until they have left; returns the number sent.
    int Write(const void* data, int count);

    // Blocks until count bytes have arrived, the read interval passes without a further byte,
    // or the read total passes in all; returns the number read (0 when the device stays silent).
    int Read(void* buffer, int count);
    // The read time-outs, ReadIntervalTimeout and ReadTotalTimeout unless set: the device's
    // answers need these; only a caller that expects silence may wait less.
    void SetReadTimeouts(int intervalMs, int totalMs);

    std::function<void()> OnAfterOpen;    // right after every opening
    std::function<void()> OnBeforeClose;  // right before every closing, lines still settable
    // The line went away under an open port (device unplugged, far end of a terminal closed).
    // The port is closed already when this runs, so the owner may try to reopen it later.
    std::function<void(const std::string& reason)> OnError;

    static constexpr int ReadIntervalTimeout = 100;
    static constexpr int ReadTotalTimeout = 1000;
    static constexpr int WriteTimeout = 2000;

private:
    friend class TComDataPacket;
    void Bind(TComDataPacket* packet);
    void Unbind(TComDataPacket* packet);
    void ReadyRead();
    void ErrorOccurred(int error);
    void HandleLoss(unsigned generation);
    void Dispatch();
    void Pull();

    QSerialPort* serial_;
    std::string port_ = "COM1";
    std::string lastError_;
    std::vector<char> received_;  // taken from the line, not yet handed out
    std::vector<TComDataPacket*> packets_;
    int readInterval_ = ReadIntervalTimeout;
    int readTotal_ = ReadTotalTimeout;
    bool inRead_ = false;
    int dispatching_ = 0;
    bool lossPending_ = false;
    std::string lossReason_;
    unsigned generation_ = 0;  // counts openings, so a late loss report cannot close a new line
};

// Cuts the byte stream of a port into packets: text between the start string and the stop
// string, without them. A new start string inside a packet starts the packet afresh (the
// device begins every line with it); a packet longer than Size is dropped whole, never cut.
class TComDataPacket {
public:
    explicit TComDataPacket(TComPort* port = nullptr);
    ~TComDataPacket();
    TComDataPacket(const TComDataPacket&) = delete;
    TComDataPacket& operator=(const TComDataPacket&) = delete;

    void SetComPort(TComPort* port);
    TComPort* ComPort() const { return port_; }
    void SetSize(int size) { size_ = size; }  // longest packet text; 0 = no limit
    void SetStartString(const std::string& s) { start_ = s; }
    void SetStopString(const std::string& s) { stop_ = s; }
    int Size() const { return size_; }

    std::function<void(TComDataPacket* sender, const std::string& str)> OnPacket;

    // Takes received bytes; the bound port calls this. Packets are handed out at once.
    void HandleData(const char* data, std::size_t count);
    void ResetPacket();  // forgets a packet begun but not finished

private:
    bool Deliverable() const;

    TComPort* port_ = nullptr;
    int size_ = 0;
    std::string start_, stop_;
    enum class State { Idle, InPacket, Skipping };
    std::string pending_;
    State state_ = State::Idle;
};
