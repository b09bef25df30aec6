// The device's parameter protocol: set its clock, read and write its parameter set. Each
// operation opens the port, exchanges bytes one at a time and closes the port again.
#pragma once

#include "paramtool/ParamSet.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>

class TComPort;

enum class TMoxResult {
    Ok,
    NoAnswer,   // a reply byte did not come within the read time-out
    Differs,    // the two copies of a read, or the echo of a write, differ
    PortError,  // the port could not be opened: see TMoxProtocol::PortError()
};

class TMoxProtocol {
public:
    explicit TMoxProtocol(TComPort& port);
    ~TMoxProtocol();

    using TFrame = std::array<std::uint8_t, 6>;
    static TFrame TimeFrame(int hour, int minute, int second);
    static TFrame DateFrame(int day, int month, int year);

    TMoxResult SetTime(int hour, int minute, int second);
    TMoxResult SetDate(int day, int month, int year);
    // On Ok the buffer holds the device's set. Otherwise it holds what came before the failure
    // (the first copy, when the copies differ); the caller shows only an accepted set.
    TMoxResult ReadParameters(moxparam::TParamSet& buffer);
    TMoxResult WriteParameters(const moxparam::TParamSet& buffer);

    const std::string& PortError() const { return portError_; }

    // Progress of a read or write, 0..100; the window drives its gauge with it.
    std::function<void(int)> OnProgress;
    // Pause between bytes; a plain sleep of the calling thread unless replaced.
    std::function<void(int milliseconds)> Wait;

    static constexpr int ReadPause = 20;    // ms after each byte received
    static constexpr int WritePause = 200;  // ms after the write command and each byte sent

    // Port events of the connection bracket.
    void ComPortAfterOpen();
    void ComPortBeforeClose();

private:
    bool Open();
    void Close();
    void Progress(int value);
    bool ReadByte(std::uint8_t& byte);
    TMoxResult FinishWithCopy(const moxparam::TParamSet& buffer);
    void Send(const std::uint8_t* bytes, int count);

    TComPort& port_;
    std::string portError_;
};

// User texts of the outcomes.
namespace moxtext {
inline constexpr const char* NoAnswer = "MOX antwortet nicht!";
inline constexpr const char* ReadDiffers = "Fehler beim Lesen des Parametersatzes!";
inline constexpr const char* WriteDiffers = "Fehler beim Schreiben des Parametersatzes!";
inline constexpr const char* ReadOk = "Parameter korrekt gelesen...";
inline constexpr const char* WriteOk = "Parameter korrekt geschrieben...";
inline constexpr const char* ErrorCaption = "Fehler!";
inline constexpr const char* OkCaption = "MOX";
}  // namespace moxtext
