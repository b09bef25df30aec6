#include "mox/rtl/SettingsCheck.h"

#include <algorithm>
#include <map>

#include "mox/rtl/BoundedSetting.h"
#include "mox/rtl/IniFile.h"
#include "mox/rtl/SysUtils.h"
#include "mox/rtl/TextFile.h"

namespace {

// Lower case, umlauts spelt out: "Länge", "laenge" and "LAENGE" become one text.
std::string Folded(const std::string& text)
{
    static const std::pair<const char*, const char*> spelt[] = {{"ä", "ae"}, {"ö", "oe"}, {"ü", "ue"}, {"Ä", "ae"},
                                                                {"Ö", "oe"}, {"Ü", "ue"}, {"ß", "ss"}};
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        bool replaced = false;
        for (const auto& [from, to] : spelt) {
            const std::size_t n = std::char_traits<char>::length(from);
            if (text.compare(i, n, from) == 0) {
                out += to;
                i += n;
                replaced = true;
                break;
            }
        }
        if (replaced) continue;
        const char c = text[i++];
        out += c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
    }
    return out;
}

std::size_t Distance(const std::string& a, const std::string& b)
{
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

bool IsSection(const std::string& line, std::string& name)
{
    const std::string t = Trim(line);
    if (t.size() < 2 || t.front() != '[' || t.back() != ']') return false;
    name = Trim(t.substr(1, t.size() - 2));
    return true;
}

bool IsKey(const std::string& line, std::string& key)
{
    const std::string t = Trim(line);
    if (t.empty() || t[0] == ';' || t[0] == '#') return false;
    const std::size_t eq = t.find('=');
    if (eq == std::string::npos) return false;
    key = Trim(t.substr(0, eq));
    return true;
}

const KnownSection* Find(const std::vector<KnownSection>& known, const std::string& name)
{
    for (const KnownSection& s : known)
        if (SameText(s.name, name)) return &s;
    return nullptr;
}

bool Holds(const KnownSection& s, const std::string& key)
{
    return std::any_of(s.keys.begin(), s.keys.end(), [&](const std::string& k) { return SameText(k, key); });
}

}  // namespace

std::string NearestKey(const std::string& key, const std::vector<std::string>& keys)
{
    const std::string folded = Folded(key);
    std::string best;
    std::size_t bestDistance = std::string::npos;
    for (const std::string& k : keys) {
        const std::size_t d = Distance(folded, Folded(k));
        if (d < bestDistance) bestDistance = d, best = k;
    }
    // A slip changes a letter or two; a longer key may take one more.
    const std::size_t allowed = folded.size() >= 9 ? 3 : folded.size() >= 4 ? 2 : 1;
    return bestDistance <= allowed ? best : std::string();
}

std::vector<SettingsRemark> CheckSettingsLines(const std::string& file, const std::vector<std::string>& lines,
                                               const std::vector<KnownSection>& known)
{
    std::vector<SettingsRemark> remarks;
    std::map<std::string, std::size_t>
        firstLine;  // folded section name: line of its header, 0 once its repetition is told
    const KnownSection* section = nullptr;
    bool repeated = false;
    std::string name, key;
    const std::string shownFile = VisibleText(file);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string lineNo = std::to_string(i + 1);
        if (IsSection(lines[i], name)) {
            const auto [at, isNew] = firstLine.emplace(Folded(name), i + 1);
            repeated = !isNew;
            section = Find(known, name);
            if (repeated && at->second != 0) {
                remarks.push_back({file + "\n[" + Folded(name) + "]",
                                   shownFile + ": Der Abschnitt [" + VisibleText(name) +
                                       "] steht mehrmals in der Datei (Zeile " + std::to_string(at->second) + " und " +
                                       lineNo + "); gelesen wird nur der erste, die späteren gelten nicht."});
                at->second = 0;  // told; a third one adds nothing
            }
            continue;
        }
        // Keys of a repeated section are already told with it.
        if (!section || repeated || !IsKey(lines[i], key) || Holds(*section, key)) continue;
        const std::string nearest = NearestKey(key, section->keys);
        const std::string shownKey = VisibleText(key);
        remarks.push_back({file + "\n" + section->name + "\n" + Folded(key),
                           shownFile + ", Zeile " + lineNo + ", [" + section->name + "] " +
                               (nearest.empty() ? shownKey + ": unbekannter Schlüssel, er gilt nicht."
                                                : shownKey + ": meinten Sie " + nearest + "?")});
    }
    return remarks;
}

void CheckSettingsFile(const TIniFile& ini, const std::vector<KnownSection>& known)
{
    std::vector<std::string> lines;
    if (!ReadTextLines(ini.FileName(), lines)) return;
    for (const SettingsRemark& r : CheckSettingsLines(ini.FileName(), lines, known)) TellSettingOnce(r.where, r.text);
}
