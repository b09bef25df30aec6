#include "station/serial/ComPort.h"
#include "station/serial/PortAdvice.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QSerialPort>
#include <QSerialPortInfo>
#include <QTimer>

#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>

// QT_LOGGING_RULES="mox.serial.info=true" shows what the adapter lets pass quietly.
Q_LOGGING_CATEGORY(lcSerial, "mox.serial", QtWarningMsg)

std::string ComPortDevicePath(const std::string& name)
{
    if (name.find('/') != std::string::npos) return name;
    if (name.size() > 3 && (name[0] == 'C' || name[0] == 'c') && (name[1] == 'O' || name[1] == 'o') &&
        (name[2] == 'M' || name[2] == 'm') &&
        std::all_of(name.begin() + 3, name.end(), [](unsigned char c) { return std::isdigit(c); })) {
        const long n = std::strtol(name.c_str() + 3, nullptr, 10);
        if (n >= 1) return "/dev/ttyS" + std::to_string(n - 1);
    }
    return "/dev/" + name;
}

void EnumComPorts(std::vector<std::string>& list)
{
    list.clear();
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) list.push_back(info.portName().toStdString());
    // ttyS2 before ttyS10: compare the stem, then the number behind it.
    auto split = [](const std::string& s) {
        std::size_t i = s.size();
        while (i > 0 && std::isdigit(static_cast<unsigned char>(s[i - 1]))) --i;
        return std::make_pair(s.substr(0, i), i < s.size() ? std::stol(s.substr(i)) : -1L);
    };
    std::sort(list.begin(), list.end(),
              [&](const std::string& a, const std::string& b) { return split(a) < split(b); });
    list.erase(std::unique(list.begin(), list.end()), list.end());
}

TComPort::TComPort() : serial_(new QSerialPort)
{
    serial_->setBaudRate(QSerialPort::Baud9600);
    serial_->setDataBits(QSerialPort::Data8);
    serial_->setParity(QSerialPort::NoParity);
    serial_->setStopBits(QSerialPort::OneStop);
    serial_->setFlowControl(QSerialPort::NoFlowControl);
    QObject::connect(serial_, &QSerialPort::readyRead, serial_, [this] { ReadyRead(); });
    QObject::connect(serial_, &QSerialPort::errorOccurred, serial_,
                     [this](QSerialPort::SerialPortError e) { ErrorOccurred(e); });
}

TComPort::~TComPort()
{
    while (!packets_.empty()) packets_.front()->SetComPort(nullptr);
    // No events from a dying object: the owner's handlers may be gone already.
    OnBeforeClose = nullptr;
    OnError = nullptr;
    if (serial_->isOpen()) serial_->close();
    delete serial_;
}

void TComPort::SetPort(const std::string& name) { port_ = name; }

bool TComPort::Connected() const { return serial_->isOpen(); }

bool TComPort::SetConnected(bool open)
{
    if (open == serial_->isOpen()) return true;
    if (!open) {
        // Lines already on their way are handed out before the line closes: a pause must not
        // throw away what the device sent before it.
        if (!inRead_ && !lossPending_) {
            serial_->waitForReadyRead(0);
            serial_->clearError();
            Pull();
            Dispatch();
        }
        if (OnBeforeClose) OnBeforeClose();
        serial_->close();
        received_.clear();
        return true;
    }
    const std::string path = ComPortDevicePath(port_);
    serial_->setPortName(QString::fromStdString(path));
    if (!serial_->open(QIODevice::ReadWrite)) {
        const std::string reason = serial_->errorString().toStdString();
        lastError_ = PortOpenFailedText(path, reason);
        // Qt locks the port; failing to lock a device we may open means another program has it.
        if (serial_->error() == QSerialPort::PermissionError)
            lastError_ = access(path.c_str(), R_OK | W_OK) == 0 ? PortInUseText(path, reason)
                                                                : PortNoPermissionText(path, reason);
        serial_->clearError();
        return false;
    }
    lastError_.clear();
    ++generation_;
    lossPending_ = false;
    received_.clear();
    for (TComDataPacket* p : packets_) p->ResetPacket();
    if (OnAfterOpen) OnAfterOpen();
    return true;
}

bool TComPort::SetRTS(bool on)
{
    if (!serial_->isOpen()) return false;
    const bool ok = serial_->setRequestToSend(on);
    if (!ok) {
        qCInfo(lcSerial) << "RTS nicht gesetzt:" << serial_->errorString();
        serial_->clearError();
    }
    return ok;
}

bool TComPort::SetDTR(bool on)
{
    if (!serial_->isOpen()) return false;
    const bool ok = serial_->setDataTerminalReady(on);
    if (!ok) {
        qCInfo(lcSerial) << "DTR nicht gesetzt:" << serial_->errorString();
        serial_->clearError();
    }
    return ok;
}

void TComPort::ClearBuffer(bool input, bool output)
{
    if (!serial_->isOpen()) return;
    if (output) serial_->clear(QSerialPort::Output);
    if (input && dispatching_ == 0) {
        serial_->clear(QSerialPort::Input);
        received_.clear();
        for (TComDataPacket* p : packets_) p->ResetPacket();
    }
}

int TComPort::Write(const void* data, int count)
{
    if (!serial_->isOpen() || count <= 0) return 0;
    const qint64 n = serial_->write(static_cast<const char*>(data), count);
    if (n < 0) {
        lastError_ = ComPortDevicePath(port_) + ": " + serial_->errorString().toStdString();
        serial_->clearError();
        return 0;
    }
    QDeadlineTimer deadline(WriteTimeout);
    while (serial_->isOpen() && serial_->bytesToWrite() > 0 && !deadline.hasExpired())
        serial_->waitForBytesWritten(static_cast<int>(std::max<qint64>(1, deadline.remainingTime())));
    if (lossPending_) HandleLoss(generation_);
    return static_cast<int>(n);
}

// Moves what Qt already holds into received_.
void TComPort::Pull()
{
    const QByteArray bytes = serial_->readAll();
    received_.insert(received_.end(), bytes.begin(), bytes.end());
}

int TComPort::Read(void* buffer, int count)
{
    if (!serial_->isOpen() || count <= 0) return 0;
    char* out = static_cast<char*>(buffer);
    int got = 0;
    inRead_ = true;
    QElapsedTimer total, sinceByte;
    total.start();
    while (got < count) {
        Pull();
        if (!received_.empty()) {
            const int n = std::min<int>(count - got, static_cast<int>(received_.size()));
            std::memcpy(out + got, received_.data(), n);
            received_.erase(received_.begin(), received_.begin() + n);
            got += n;
            sinceByte.start();
            continue;
        }
        if (lossPending_ || !serial_->isOpen()) break;
        qint64 wait = readTotal_ - total.elapsed();
        if (got > 0) wait = std::min(wait, readInterval_ - sinceByte.elapsed());
        if (wait <= 0) break;
        // waitForReadyRead reports only new data; Pull above took what was there before.
        serial_->waitForReadyRead(static_cast<int>(wait));
    }
    inRead_ = false;
    if (lossPending_) HandleLoss(generation_);
    return got;
}

void TComPort::SetReadTimeouts(int intervalMs, int totalMs)
{
    readInterval_ = intervalMs;
    readTotal_ = totalMs;
}

void TComPort::Bind(TComDataPacket* packet)
{
    if (std::find(packets_.begin(), packets_.end(), packet) == packets_.end()) packets_.push_back(packet);
}

void TComPort::Unbind(TComDataPacket* packet)
{
    packets_.erase(std::remove(packets_.begin(), packets_.end(), packet), packets_.end());
}

void TComPort::ReadyRead()
{
    if (inRead_) return;  // the blocking read takes the bytes itself
    Pull();
    Dispatch();
}

// Hands every byte taken from the line to the bound framers, so all lines of one read come
// out, even when a packet handler clears the buffers or closes the port on the way.
void TComPort::Dispatch()
{
    if (packets_.empty() || received_.empty()) return;
    std::vector<char> chunk;
    chunk.swap(received_);
    ++dispatching_;
    const std::vector<TComDataPacket*> targets = packets_;
    for (TComDataPacket* p : targets) {
        if (std::find(packets_.begin(), packets_.end(), p) == packets_.end())
            continue;  // unbound by an earlier handler
        p->HandleData(chunk.data(), chunk.size());
    }
    --dispatching_;
}

namespace {

// Qt words a read error from whatever errno last held, which after the modem-line calls on a
// terminal without modem lines names an ioctl. The device and the line say what happened.
std::string LossReason(int fd, const std::string& path)
{
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) return std::strerror(errno);  // the device is gone, as an unplugged adapter
    pollfd p{fd, POLLIN, 0};
    if (fd >= 0 && poll(&p, 1, 0) == 1) {
        if (p.revents & POLLHUP) return "hang-up";
        if (p.revents & POLLERR) return std::strerror(EIO);
    }
    return "connection lost";
}

}  // namespace

void TComPort::ErrorOccurred(int error)
{
    if (error != QSerialPort::ReadError && error != QSerialPort::ResourceError) return;
    if (!serial_->isOpen() || lossPending_) return;
    // Qt keeps signalling a read error as fast as it can while the port stays open, so the
    // port is closed at the first one; the close itself waits until Qt has left its handler.
    lossPending_ = true;
    lossReason_ = LossReason(int(serial_->handle()), ComPortDevicePath(port_));
    const unsigned generation = generation_;
    QTimer::singleShot(0, serial_, [this, generation] { HandleLoss(generation); });
}

void TComPort::HandleLoss(unsigned generation)
{
    if (!lossPending_ || generation != generation_ || !serial_->isOpen()) return;
    lossPending_ = false;
    const std::string& reason = lossReason_;
    lastError_ = ComPortDevicePath(port_) + ": die Verbindung ist abgerissen";
    if (!reason.empty() && reason != "Success" && reason != "Unknown error") lastError_ += " (" + reason + ")";
    serial_->clearError();
    SetConnected(false);
    if (OnError) OnError(lastError_);
}

TComDataPacket::TComDataPacket(TComPort* port) { SetComPort(port); }

TComDataPacket::~TComDataPacket() { SetComPort(nullptr); }

void TComDataPacket::SetComPort(TComPort* port)
{
    if (port_ == port) return;
    if (port_) port_->Unbind(this);
    port_ = port;
    if (port_) port_->Bind(this);
    ResetPacket();
}

void TComDataPacket::ResetPacket()
{
    pending_.clear();
    state_ = State::Idle;
}

bool TComDataPacket::Deliverable() const { return port_ == nullptr || port_->Connected(); }

// Drops pending_ but for a tail short enough to be the beginning of a marker.
static void KeepTail(std::string& pending, std::size_t longestMarker)
{
    const std::size_t keep = std::min(pending.size(), longestMarker > 0 ? longestMarker - 1 : 0);
    pending.erase(0, pending.size() - keep);
}

void TComDataPacket::HandleData(const char* data, std::size_t count)
{
    pending_.append(data, count);
    while (Deliverable()) {
        const std::size_t s = start_.empty() ? std::string::npos : pending_.find(start_);
        const std::size_t e = stop_.empty() ? std::string::npos : pending_.find(stop_);
        if (state_ == State::Idle) {
            if (start_.empty()) {
                state_ = State::InPacket;
            } else if (s == std::string::npos) {
                KeepTail(pending_, start_.size());  // bytes outside a packet are dropped
                return;
            } else {
                pending_.erase(0, s + start_.size());
                state_ = State::InPacket;
            }
            continue;
        }
        if (state_ == State::Skipping) {
            // The rest of an over-long packet: wait for its end or for the next start.
            if (s != std::string::npos && (e == std::string::npos || s < e)) {
                pending_.erase(0, s + start_.size());
                state_ = State::InPacket;
            } else if (e != std::string::npos) {
                pending_.erase(0, e + stop_.size());
                state_ = State::Idle;
            } else {
                KeepTail(pending_, std::max(start_.size(), stop_.size()));
                return;
            }
            continue;
        }
        if (stop_.empty()) {
            // Without a stop string a packet is as long as the size, or whatever came.
            std::size_t n = pending_.size();
            if (size_ > 0) {
                if (n < static_cast<std::size_t>(size_)) return;
                n = size_;
            } else if (n == 0) {
                return;
            }
            const std::string text = pending_.substr(0, n);
            pending_.erase(0, n);
            state_ = State::Idle;
            if (OnPacket) OnPacket(this, text);
            continue;
        }
        if (s != std::string::npos && (e == std::string::npos || s < e)) {
            pending_.erase(0, s + start_.size());  // a broken line: start again at the new one
            continue;
        }
        if (e == std::string::npos) {
            if (size_ > 0 && pending_.size() >= static_cast<std::size_t>(size_) + stop_.size()) {
                KeepTail(pending_, std::max(start_.size(), stop_.size()));
                state_ = State::Skipping;
            }
            return;
        }
        const std::string text = pending_.substr(0, e);
        pending_.erase(0, e + stop_.size());
        state_ = State::Idle;
        if (size_ > 0 && text.size() > static_cast<std::size_t>(size_))
            continue;  // over-long: dropped whole, never cut
        if (OnPacket) OnPacket(this, text);
    }
}
