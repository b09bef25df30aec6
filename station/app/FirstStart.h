#pragma once
// What a new station asks on its first start: the station record that goes into every file,
// and the serial port of the device. Both are stored and take effect at once.
#include <string>
#include <vector>

class TIniFile;
class TMOX_Diagram;

struct FirstStartAnswers {
    std::string Autor, Ort, Laenge, Breite, Locator;
    std::string Port;  // a name ("ttyUSB0") or a path
};

// The answers the dialog starts with: the record and port the station has now.
FirstStartAnswers CurrentAnswers(const TMOX_Diagram& diagram, const std::string& port);

// The devices under `byIdFolder` (/dev/serial/by-id: the names stay the same however the
// device is plugged in), as full paths, sorted; none when the folder is missing.
std::vector<std::string> SerialDevicesById(const std::string& byIdFolder = "/dev/serial/by-id");

// Why the answers cannot be taken, in German for the dialog; empty when they can. A position
// must be readable (the day files and the exchange files carry it in degrees).
std::string FirstStartProblem(const FirstStartAnswers& answers);

// Stores the answers in [MOX-Header] and [COM-Port] and puts the record into `diagram`, so
// that the next batch's files carry it. An empty locator is worked out from the position.
void ApplyFirstStartAnswers(TIniFile& ini, TMOX_Diagram& diagram, FirstStartAnswers answers);
