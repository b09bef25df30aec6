#include "mox/rtl/BoundedSetting.h"

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <set>

#include "mox/rtl/IniFile.h"
#include "mox/rtl/SysUtils.h"

namespace {

struct Notes {
    std::mutex lock;
    std::set<std::string> told;  // file, section and key of every setting told about
    std::vector<std::string> pending;
    std::function<void(const std::string&)> sink;
};

Notes& TheNotes()
{
    static Notes notes;
    return notes;
}

}  // namespace

void TellSettingOnce(const std::string& where, const std::string& message)
{
    Notes& n = TheNotes();
    std::function<void(const std::string&)> sink;
    {
        std::lock_guard<std::mutex> guard(n.lock);
        if (!n.told.insert(where).second) return;
        n.pending.push_back(message);
        sink = n.sink;
    }
    // Outside the lock: the sink may read settings of its own.
    if (sink) sink(message);
    else std::fprintf(stderr, "%s: %s\n", program_invocation_short_name, message.c_str());
}

void SendSettingNotesTo(std::function<void(const std::string&)> sink)
{
    Notes& n = TheNotes();
    std::lock_guard<std::mutex> guard(n.lock);
    n.sink = std::move(sink);
}

namespace {

// A whole number in decimal, as wide as it is written: "99999999999" is a number too far out
// of range, not a missing one.
bool ParseWide(const std::string& text, long long& value)
{
    const std::string t = Trim(text);
    if (t.empty()) return false;
    std::size_t p = t[0] == '+' || t[0] == '-' ? 1 : 0;
    if (p == t.size()) return false;
    for (std::size_t i = p; i < t.size(); ++i)
        if (t[i] < '0' || t[i] > '9') return false;
    value = std::strtoll(t.c_str(), nullptr, 10);  // saturates at the limits of long long
    return true;
}

}  // namespace

int ReadBoundedInteger(const TIniFile& ini, const std::string& section, const std::string& key, int def, IntRange range)
{
    const std::string text = ini.ReadString(section, key, "");
    long long value;
    if (!ParseWide(text, value)) return def;
    if (value >= range.Min && value <= range.Max) return int(value);
    const int bounded = value < range.Min ? range.Min : range.Max;
    TellSettingOnce(ini.FileName() + "\n" + section + "\n" + key,
                    VisibleText(ini.FileName()) + ": [" + section + "] " + key + "=" + VisibleText(Trim(text)) +
                        " liegt nicht zwischen " + std::to_string(range.Min) + " und " + std::to_string(range.Max) +
                        "; es gilt " + std::to_string(bounded) + ".");
    return bounded;
}

std::vector<std::string> TakeSettingNotes()
{
    Notes& n = TheNotes();
    std::lock_guard<std::mutex> guard(n.lock);
    std::vector<std::string> out;
    out.swap(n.pending);
    return out;
}

std::string VisibleText(const std::string& text)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (unsigned char c : text) {
        if ((c < 0x20 && c != '\n') || c == 0x7F) {
            out += "\\x";
            out += hex[c >> 4];
            out += hex[c & 15];
        } else {
            out += char(c);
        }
    }
    return out;
}
