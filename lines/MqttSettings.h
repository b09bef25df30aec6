#pragma once
// Section "MQTT" of the settings file: where a station publishes its lines and state. An
// empty "Host" leaves publishing off.
#include <string>

class TIniFile;

struct MqttSettings {
    std::string Host;
    int Port = 1883;
    std::string Station;  // the station's id in the topic names
    std::string User;
    std::string Password;
    std::string CaFile;   // TLS when set

    bool Enabled() const { return !Host.empty(); }
};

MqttSettings ReadMqttSettings(const TIniFile& ini);

// Letters, digits, "-" and "_" only, so the id is one topic level and one folder name.
bool ValidStationId(const std::string& id);

// What keeps the settings from being used, in the observer's words; empty when they are fine.
// Never contains the password.
std::string MqttSettingsProblem(const MqttSettings& s);
