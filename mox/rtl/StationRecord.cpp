#include "mox/rtl/StationRecord.h"

#include <filesystem>

#include "mox/rtl/IniFile.h"

const char* const kStationRecordName = "station.ini";

namespace {

constexpr std::size_t kMaxRecord = 4096;
const char* const kSection = "MOX-Header";
const char* const kKeys[] = {"Autor", "Ort", "Länge", "Breite", "Locator", "1-Sensor"};
const char* const kCodeSection = "IAGA";
const char* const kCodeKey = "Code";

}  // namespace

std::string StationRecordText(const TIniFile& ini)
{
    std::string text;
    for (const char* key : kKeys)
        if (ini.ValueExists(kSection, key)) text += std::string(key) + "=" + ini.ReadString(kSection, key, "") + "\r\n";
    if (ini.ValueExists(kCodeSection, kCodeKey))
        text += "[" + std::string(kCodeSection) + "]\r\n" + kCodeKey + "=" +
                ini.ReadString(kCodeSection, kCodeKey, "") + "\r\n";
    return text.empty() ? text : "[" + std::string(kSection) + "]\r\n" + text;
}

bool ValidStationRecord(const std::string& text)
{
    const std::string head = "[" + std::string(kSection) + "]\r\n", code = "[" + std::string(kCodeSection) + "]";
    if (text.size() > kMaxRecord || text.rfind(head, 0) != 0) return false;
    bool codeSection = false;
    for (std::size_t at = head.size(); at < text.size();) {
        const std::size_t end = text.find("\r\n", at);
        if (end == std::string::npos) return false;
        const std::string line = text.substr(at, end - at);
        at = end + 2;
        if (line == code && !codeSection) {
            codeSection = true;
            continue;
        }
        const std::size_t eq = line.find('=');
        if (eq == std::string::npos || eq == 0 || line.find_first_of("[\r\n", 0) != std::string::npos) return false;
        for (unsigned char c : line)
            if (c < 0x20) return false;
    }
    return true;
}

std::string RecordSettingsFor(const std::string& folder, const std::string& fallback)
{
    const std::filesystem::path record = std::filesystem::path(folder.empty() ? "." : folder) / kStationRecordName;
    std::error_code ec;
    return std::filesystem::is_regular_file(record, ec) ? record.string() : fallback;
}
