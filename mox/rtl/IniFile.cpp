#include "mox/rtl/IniFile.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "mox/rtl/SysUtils.h"
#include "mox/rtl/TextFile.h"

namespace {

bool IsSectionLine(const std::string& line, std::string& name)
{
    const std::string t = Trim(line);
    if (t.size() < 2 || t.front() != '[' || t.back() != ']') return false;
    name = Trim(t.substr(1, t.size() - 2));
    return true;
}

bool SplitKey(const std::string& line, std::string& key, std::string& value)
{
    const std::string t = Trim(line);
    if (t.empty() || t[0] == ';' || t[0] == '#') return false;
    const std::size_t eq = t.find('=');
    if (eq == std::string::npos) return false;
    key = Trim(t.substr(0, eq));
    value = Trim(t.substr(eq + 1));
    return true;
}

// [begin, end) of a section's body; begin == npos if the section is absent.
void FindSection(const std::vector<std::string>& lines, const std::string& section, std::size_t& header,
                 std::size_t& end)
{
    header = std::string::npos;
    end = lines.size();
    std::string name;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (!IsSectionLine(lines[i], name)) continue;
        if (header != std::string::npos) {
            end = i;
            return;
        }
        if (SameText(name, section)) header = i;
    }
}

std::size_t FindKey(const std::vector<std::string>& lines, std::size_t header, std::size_t end, const std::string& key,
                    std::string* value)
{
    if (header == std::string::npos) return std::string::npos;
    std::string k, v;
    for (std::size_t i = header + 1; i < end; ++i) {
        if (SplitKey(lines[i], k, v) && SameText(k, key)) {
            if (value) *value = v;
            return i;
        }
    }
    return std::string::npos;
}

void MakeParentDirs(const std::string& path)
{
    for (std::size_t p = path.find('/', 1); p != std::string::npos; p = path.find('/', p + 1))
        mkdir(path.substr(0, p).c_str(), 0755);
}

}  // namespace

std::string MoxIniPath()
{
    if (const char* env = std::getenv("MOX_INI"); env && *env) return env;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg) return std::string(xdg) + "/mox/mox.ini";
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : ".") + "/.config/mox/mox.ini";
}

TIniFile::TIniFile(std::string p) : path(std::move(p)) {}

std::vector<std::string> TIniFile::Load() const
{
    std::vector<std::string> lines;
    ReadTextLines(path, lines);
    return lines;
}

bool TIniFile::Store(const std::vector<std::string>& lines)
{
    MakeParentDirs(path);
    if (WriteTextLines(path, lines)) return true;
    if (OnWriteFailed) OnWriteFailed(path + ": " + std::strerror(errno));
    return false;
}

std::string TIniFile::ReadString(const std::string& section, const std::string& key, const std::string& def) const
{
    const auto lines = Load();
    std::size_t header, end;
    FindSection(lines, section, header, end);
    std::string value;
    if (FindKey(lines, header, end, key, &value) == std::string::npos) return def;
    return value;
}

int TIniFile::ReadInteger(const std::string& section, const std::string& key, int def) const
{
    return StrToIntDef(ReadString(section, key, ""), def);
}

bool TIniFile::ReadBool(const std::string& section, const std::string& key, bool def) const
{
    return ReadInteger(section, key, def ? 1 : 0) != 0;
}

bool TIniFile::WriteString(const std::string& section, const std::string& key, const std::string& value)
{
    auto lines = Load();
    std::size_t header, end;
    FindSection(lines, section, header, end);
    const std::string entry = key + "=" + value;
    if (header == std::string::npos) {
        if (!lines.empty() && !Trim(lines.back()).empty()) lines.emplace_back();
        lines.push_back("[" + section + "]");
        lines.push_back(entry);
    } else if (std::size_t at = FindKey(lines, header, end, key, nullptr); at != std::string::npos) {
        lines[at] = entry;
    } else {
        // After the section's last entry, before the blank lines that set off the next one.
        std::size_t insert = end;
        while (insert > header + 1 && Trim(lines[insert - 1]).empty()) --insert;
        lines.insert(lines.begin() + long(insert), entry);
    }
    return Store(lines);
}

bool TIniFile::WriteInteger(const std::string& section, const std::string& key, int value)
{
    return WriteString(section, key, IntToStr(value));
}

bool TIniFile::WriteBool(const std::string& section, const std::string& key, bool value)
{
    return WriteString(section, key, value ? "1" : "0");
}

bool TIniFile::SectionExists(const std::string& section) const
{
    std::size_t header, end;
    FindSection(Load(), section, header, end);
    return header != std::string::npos;
}

bool TIniFile::ValueExists(const std::string& section, const std::string& key) const
{
    const auto lines = Load();
    std::size_t header, end;
    FindSection(lines, section, header, end);
    return FindKey(lines, header, end, key, nullptr) != std::string::npos;
}

std::vector<std::string> TIniFile::ReadSection(const std::string& section) const
{
    const auto lines = Load();
    std::size_t header, end;
    FindSection(lines, section, header, end);
    std::vector<std::string> keys;
    if (header == std::string::npos) return keys;
    std::string k, v;
    for (std::size_t i = header + 1; i < end; ++i)
        if (SplitKey(lines[i], k, v)) keys.push_back(k);
    return keys;
}

bool TIniFile::DeleteKey(const std::string& section, const std::string& key)
{
    auto lines = Load();
    std::size_t header, end;
    FindSection(lines, section, header, end);
    const std::size_t at = FindKey(lines, header, end, key, nullptr);
    if (at == std::string::npos) return true;
    lines.erase(lines.begin() + long(at));
    return Store(lines);
}

bool TIniFile::EraseSection(const std::string& section)
{
    auto lines = Load();
    std::size_t header, end;
    FindSection(lines, section, header, end);
    if (header == std::string::npos) return true;
    lines.erase(lines.begin() + long(header), lines.begin() + long(end));
    return Store(lines);
}
