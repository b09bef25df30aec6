#pragma once
// The station's state in words, for the service manager's status line and the status bar.
// Each concern (connection, silence, storage, clock, publishing) sets its own part; the text
// is the parts that have something to say, in a fixed order.
#include <array>
#include <ctime>
#include <string>

class ServiceStatus {
public:
    enum class Part { Connection, Silence, Storage, Clock, Publisher, Count };

    // An empty text clears the part.
    void Set(Part part, std::string text) { parts[std::size_t(part)] = std::move(text); }
    const std::string& Get(Part part) const { return parts[std::size_t(part)]; }
    // All parts, joined by "; ".
    std::string Text() const;
    // The parts that need the observer's attention: neither the connection nor publishing,
    // which has a status panel of its own.
    std::string Alerts() const;

private:
    std::array<std::string, std::size_t(Part::Count)> parts;
};

// "hh:mm:ss" or "hh:mm" of a moment in UTC.
std::string UtcTime(time_t t, bool seconds = true);

// The connection part: "Loggen, letzte Zeile 12:34:56 UTC" (lastLine 0: no line yet),
// "Gerät getrennt, neuer Versuch alle 3 s", "Pause".
std::string LoggingText(time_t lastLine);
std::string DisconnectedText(int retrySeconds);
std::string PausedText();
// The storage part: "Datenträger voll: 120 Zeilen warten" and, when the memory ran out,
// how many of the oldest lines were given up.
std::string WaitingText(std::size_t waiting, bool mediumFull, std::size_t dropped);
// The publishing part: "MQTT getrennt: 12 Zeilen warten"; empty while the broker takes
// every line.
std::string PublisherText(bool connected, std::size_t waiting);
