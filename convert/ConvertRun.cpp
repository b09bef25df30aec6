#include "convert/ConvertRun.h"

#include <algorithm>
#include <filesystem>
#include <ostream>
#include <stdexcept>

#include "mox/Mm.h"
#include "mox/SettingRanges.h"
#include "mox/rtl/IniFile.h"
#include "mox/rtl/SysUtils.h"

namespace fs = std::filesystem;

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int Number(const std::string& s, std::size_t from, std::size_t count)
{
    int v = 0;
    for (std::size_t i = from; i < from + count; ++i) v = v * 10 + (s[i] - '0');
    return v;
}

std::string BaseOf(const std::string& caption) { return caption.substr(0, caption.size() - 4); }

}  // namespace

const char* StatusText(LogStatus status)
{
    switch (status) {
    case stAllOk: return "all ok";
    case stNoMox: return "no MOX-file";
    default: return "MOX-file to old";
    }
}

bool IsDayLogName(const std::string& name)
{
    if (name.size() != 12 || !SameText(name.substr(8), ".txt")) return false;
    if (!std::all_of(name.begin(), name.begin() + 8, IsDigit)) return false;
    return IsValidDate(Number(name, 0, 4), Number(name, 4, 2), Number(name, 6, 2));
}

std::string AsFolderPath(const std::string& folder)
{
    if (folder.empty() || folder.back() == '/') return folder;
    return folder + '/';
}

LogStatus StatusOf(const std::string& folder, const std::string& caption)
{
    const fs::path mox = folder + BaseOf(caption) + ".mox";
    std::error_code ec;
    if (!fs::exists(mox, ec)) return stNoMox;
    // A time that cannot be read makes the .mox file look outdated: an update then either
    // brings it up to date or says what is wrong with the log.
    const auto logTime = fs::last_write_time(folder + caption, ec);
    if (ec) return stMoxTooOld;
    const auto moxTime = fs::last_write_time(mox, ec);
    if (ec) return stMoxTooOld;
    return logTime < moxTime ? stAllOk : stMoxTooOld;
}

FolderScan ScanFolder(const std::string& folder)
{
    FolderScan scan;
    const fs::path dir = folder.empty() ? fs::path(".") : fs::path(folder);
    std::error_code ec;
    fs::directory_iterator it(dir, ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        const std::string name = it->path().filename().string();
        std::error_code typeError;
        if (!IsDayLogName(name) || !it->is_regular_file(typeError)) continue;
        scan.Items.push_back({name, StatusOf(folder, name), {}});
    }
    if (ec) {
        scan.Items.clear();
        scan.Error = "The folder " + (folder.empty() ? std::string(".") : folder) +
                     " cannot be read: " + ec.message();
        return scan;
    }
    // Directory order is arbitrary here; by name, the days come in order.
    std::sort(scan.Items.begin(), scan.Items.end(),
              [](const LogItem& a, const LogItem& b) { return a.Caption < b.Caption; });
    for (const LogItem& item : scan.Items) {
        scan.AnyMissing |= item.Status == stNoMox;
        scan.AnyOutdated |= item.Status == stMoxTooOld;
    }
    return scan;
}

void ReadHeaderSettings(const TIniFile& ini, TMOX_Diagram& d)
{
    d.set_Autor(ini.ReadString("MOX-Header", "Autor", d.get_Autor()));
    d.set_Ort(ini.ReadString("MOX-Header", "Ort", d.get_Ort()));
    d.set_Laenge(ini.ReadString("MOX-Header", "Länge", d.get_Laenge()));
    d.set_Breite(ini.ReadString("MOX-Header", "Breite", d.get_Breite()));
    d.set_Locator(ini.ReadString("MOX-Header", "Locator", d.get_Locator()));
    // Read as the station reads it; the component ignores the total field.
    d.set_1sensor_vec(MOX_Vector_Typ(ReadBoundedInteger(ini, "MOX-Header", "1-Sensor", vecBy, kSensorRange)));
}

ConvertRun::ConvertRun(TMOX_Diagram& diagram, std::string folder, std::vector<LogItem>& items,
                       LogStatus which)
    : diagram(diagram), folder(std::move(folder)), items(items), which(which)
{
    total = int(std::count_if(items.begin(), items.end(),
                              [which](const LogItem& i) { return i.Status == which; }));
    SkipOthers();
}

void ConvertRun::SkipOthers()
{
    while (next < items.size() && items[next].Status != which) ++next;
}

bool ConvertRun::Step()
{
    if (Done()) return false;
    LogItem& item = items[next];
    const std::string path = folder + item.Caption;
    bool ok = true;
    try {
        // The conversion quietly does nothing for a file that is gone; that must not count
        // as converted.
        if (!FileExists(path)) throw std::runtime_error("the log file is gone: " + path);
        diagram.Convert(path);
    } catch (const std::exception& e) {
        ok = false;
        item.Error = e.what();
        failures.push_back(item.Caption + ": " + item.Error);
    }
    if (ok) {
        item.Status = stAllOk;
        item.Error.clear();
        converted.push_back(item.Caption);
    }
    ++handled;
    ++next;
    SkipOthers();
    return ok;
}

int RunUnattended(const std::string& folder, TMOX_Diagram& diagram, std::ostream& out,
                  std::ostream& err)
{
    if (folder.empty()) {
        err << "MOX_Convert: no folder given; usage: MOX_Convert auto <folder>" << std::endl;
        return exitUsage;
    }
    const std::string dir = AsFolderPath(folder);
    int total = 0, failed = 0;
    for (LogStatus which : {stMoxTooOld, stNoMox}) {
        // Scanned before each pass, as the window does after every run.
        FolderScan scan = ScanFolder(dir);
        if (!scan.Error.empty()) {
            err << "MOX_Convert: " << scan.Error << std::endl;
            return exitUsage;
        }
        ConvertRun run(diagram, dir, scan.Items, which);
        while (!run.Done()) {
            const std::string caption = scan.Items[run.Next()].Caption;
            if (run.Step())
                out << caption << std::endl;
            else
                err << "MOX_Convert: " << run.Failures().back() << std::endl;
        }
        total += run.Total();
        failed += int(run.Failures().size());
    }
    if (failed == 0) return exitOk;
    err << "MOX_Convert: " << failed << " of " << total << " log files could not be converted"
        << std::endl;
    return exitSomeFailed;
}
