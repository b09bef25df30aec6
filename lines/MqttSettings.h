#pragma once
// Section "MQTT" of the settings file: where a station publishes its lines and state. An
// empty "Host" leaves publishing off.
#include <cstddef>
#include <string>

class TIniFile;

struct MqttSettings {
    std::string Host;
    int Port = 1883;
    std::string Station;  // the station's id in the topic names
    std::string User;
    std::string Password;
    std::string CaFile;  // TLS when set
    // A mox-collect files this station's lines: each line stays in the spool until the
    // collector says it has filed it, and the station answers its requests for lines.
    // Without it the broker's acknowledgment releases a line (live viewers only).
    bool Archive = false;
    std::size_t SpoolLines = 200000;  // lines the spool keeps at most during an outage
    int RetryMaxSeconds = 10;         // the longest wait between two attempts to connect
    int ConnectSeconds = 15;          // an attempt not answered within this time is given up
    // With an archive: lines sent but not acknowledged for this long are sent again (the
    // collector may have subscribed only after they passed the broker).
    int ResendSeconds = 30;

    bool Enabled() const { return !Host.empty(); }
};

MqttSettings ReadMqttSettings(const TIniFile& ini);

// Letters, digits, "-" and "_" only, so the id is one topic level and one folder name.
bool ValidStationId(const std::string& id);

// What keeps the settings from being used, in the observer's words; empty when they are fine.
// Never contains the password.
std::string MqttSettingsProblem(const MqttSettings& s);
