#pragma once
// Where the station's lines come from: the device's serial port in service, a fake in tests.
// Lines are handed out as the device ends them; a line that goes away under an open port is
// reported once, with the port already closed.
#include <functional>
#include <string>

class LinePort {
public:
    virtual ~LinePort() = default;
    // Takes effect at the next opening.
    virtual void SetName(const std::string& name) = 0;
    virtual std::string Name() const = 0;
    // False with the reason, naming the device, in LastError(); the port stays closed.
    virtual bool Open() = 0;
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;
    virtual std::string LastError() const = 0;

    std::function<void(const std::string& line)> OnLine;
    std::function<void(const std::string& reason)> OnLost;
};
