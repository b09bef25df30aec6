#include "convert/ConvertRun.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <ostream>
#include <stdexcept>
#include <system_error>

#include "mox/Mm.h"
#include "mox/RawLog.h"
#include "mox/SettingsKeys.h"
#include "mox/StationRecord.h"
#include "mox/rtl/IniFile.h"
#include "mox/rtl/PendingFiles.h"
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

// Of two logs of one day, the one to take: ".txt" as the station writes it, else the first
// by name.
bool Prefer(const std::string& a, const std::string& b)
{
    const bool aLower = a.compare(8, 4, ".txt") == 0, bLower = b.compare(8, 4, ".txt") == 0;
    return aLower != bLower ? aLower : a < b;
}

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
        scan.Error =
            "Der Ordner " + (folder.empty() ? std::string(".") : folder) + " ist nicht lesbar (" + ec.message() + ").";
        return scan;
    }
    // Directory order is arbitrary here; by name, the days come in order, and the logs of
    // one day side by side with the one to take first.
    std::sort(scan.Items.begin(), scan.Items.end(), [](const LogItem& a, const LogItem& b) {
        const int day = a.Caption.compare(0, 8, b.Caption, 0, 8);
        return day != 0 ? day < 0 : Prefer(a.Caption, b.Caption);
    });
    std::vector<LogItem> kept;
    for (LogItem& item : scan.Items) {
        if (!kept.empty() && kept.back().Caption.compare(0, 8, item.Caption, 0, 8) == 0) {
            scan.Skipped.push_back(item.Caption + " wird übergangen: " + kept.back().Caption +
                                   " ist derselbe Tag und wird in dieselbe .mox-Datei konvertiert.");
            continue;
        }
        kept.push_back(std::move(item));
    }
    scan.Items = std::move(kept);
    for (const LogItem& item : scan.Items) {
        scan.AnyMissing |= item.Status == stNoMox;
        scan.AnyOutdated |= item.Status == stMoxTooOld;
    }
    return scan;
}

void ReadHeaderSettings(const TIniFile& ini, TMOX_Diagram& d)
{
    CheckSettingsFile(ini, KnownSettingsSections());
    ReadStationRecord(ini, d);
    TellIfPlaceholderRecord(d, ini.FileName());
}

std::string StartFolder(const TIniFile& ini, const std::string& current, const std::string& serviceFolder)
{
    std::string own;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg) own = std::string(xdg) + "/mox/data";
    else if (const char* home = std::getenv("HOME"); home && *home) own = std::string(home) + "/.local/share/mox/data";
    std::error_code ec;
    for (std::string folder : {ini.ReadString("Verzeichnisse", "Datenverzeichnis", ""), own, serviceFolder}) {
        while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
        if (!folder.empty() && std::filesystem::is_directory(folder, ec)) return folder;
    }
    return current;
}

namespace {

// Converted days held before they are put in place: each holds its two temporaries open and
// locked, so a year is synced in a few groups rather than with 730 files open at once.
constexpr std::size_t kMaxPending = 64;

}  // namespace

struct ConvertRun::Slot {
    bool done = false;
    PendingFiles files;  // the finished temporary files of a converted log
    std::string error;   // why it failed; empty when it did not
};

ConvertRun::ConvertRun(TMOX_Diagram& diagram, std::string folder, std::vector<LogItem>& items, LogStatus which,
                       unsigned threads)
    : diagram(diagram), folder(std::move(folder)), items(items), which(which)
{
    for (std::size_t i = 0; i < items.size(); ++i)
        if (items[i].Status == which) order.push_back(i);
    total = int(order.size());
    results = std::vector<Slot>(order.size());
    SkipOthers();
    // Set here once: the conversions would set them, and they run on several threads.
    FormatSettings().ShortDateFormat = "dd.mm.yy";
    FormatSettings().DateSeparator = '.';
    if (threads == 0) threads = std::max(1u, std::thread::hardware_concurrency());
    threadCount = unsigned(std::min<std::size_t>(threads, order.size()));
}

void ConvertRun::Start()
{
    if (started) return;
    started = true;
    for (unsigned t = 0; t < threadCount; ++t) workers.emplace_back([this] { Work(); });
}

ConvertRun::~ConvertRun()
{
    {
        std::lock_guard<std::mutex> guard(lock);
        stopping = true;
    }
    changed.notify_all();
    for (std::thread& w : workers) w.join();
}

void ConvertRun::Work()
{
    for (;;) {
        std::size_t position;
        {
            std::unique_lock<std::mutex> guard(lock);
            changed.wait(guard,
                         [this] { return stopping || claimed >= order.size() || claimed < inPlace + kMaxPending; });
            if (stopping || claimed >= order.size()) return;
            position = claimed++;
        }
        const std::string path = folder + items[order[position]].Caption;
        Slot result;
        try {
            // The conversion quietly does nothing for a file that is gone; that must not
            // count as converted.
            if (!FileExists(path)) throw std::runtime_error("Der Mitschnitt ist nicht mehr da: " + path);
            RawLogOptions options;
            options.pending = &result.files;
            diagram.Convert(path, options);
        } catch (const std::exception& e) {
            result.files.Discard();
            result.error = e.what();
            if (result.error.empty()) result.error = "unbekannter Fehler";
        }
        result.done = true;
        {
            std::lock_guard<std::mutex> guard(lock);
            results[position] = std::move(result);
            ++finished;
        }
        changed.notify_all();
    }
}

void ConvertRun::SkipOthers()
{
    while (next < items.size() && items[next].Status != which) ++next;
}

bool ConvertRun::Ready()
{
    if (Done()) return true;
    Start();
    std::lock_guard<std::mutex> guard(lock);
    return results[taken].done;
}

int ConvertRun::Finished()
{
    Start();
    std::lock_guard<std::mutex> guard(lock);
    return finished;
}

void ConvertRun::WaitAll()
{
    Start();
    std::unique_lock<std::mutex> guard(lock);
    gather = true;
    changed.wait(guard, [this] { return GroupComplete(); });
}

// Every log converted, or as many as are held at once.
bool ConvertRun::GroupComplete() const
{
    return std::size_t(finished) == claimed && (claimed == order.size() || claimed >= inPlace + kMaxPending);
}

// Every log converted by now, from the next one to take on, is made durable with one sync
// and put in place; a log whose files cannot be made durable or renamed fails.
void ConvertRun::PutReadyInPlace()
{
    std::size_t end = inPlace;
    {
        std::unique_lock<std::mutex> guard(lock);
        changed.wait(guard, [this] { return results[inPlace].done && (!gather || GroupComplete()); });
        while (end < results.size() && results[end].done) ++end;
    }
    bool any = false;
    for (std::size_t p = inPlace; p < end; ++p) any |= !results[p].files.Empty();
    std::string syncError;
    if (any && !SyncFileSystemOf(folder.empty() ? "." : folder))
        syncError = "Die Dateien in " + folder + " lassen sich nicht dauerhaft sichern (" +
                    std::error_code(errno, std::generic_category()).message() + ").";
    for (std::size_t p = inPlace; p < end; ++p) {
        Slot& slot = results[p];
        if (slot.files.Empty()) continue;
        if (!syncError.empty()) {
            slot.files.Discard();
            slot.error = syncError;
            continue;
        }
        try {
            slot.files.PutInPlace();
        } catch (const std::exception& e) {
            slot.error = e.what();
        }
    }
    {
        std::lock_guard<std::mutex> guard(lock);
        inPlace = end;
    }
    changed.notify_all();
}

bool ConvertRun::Step()
{
    if (Done()) return false;
    Start();
    if (taken >= inPlace) PutReadyInPlace();
    LogItem& item = items[next];
    const Slot& slot = results[taken++];
    const bool ok = slot.error.empty();
    if (ok) {
        item.Status = stAllOk;
        item.Error.clear();
        converted.push_back(item.Caption);
    } else {
        item.Error = slot.error;
        failures.push_back(item.Caption + ": " + item.Error);
    }
    ++handled;
    ++next;
    SkipOthers();
    return ok;
}

int RunUnattended(const std::string& folder, TMOX_Diagram& diagram, std::ostream& out, std::ostream& err)
{
    if (folder.empty()) {
        err << "MOX_Convert: kein Ordner angegeben; Aufruf: MOX_Convert auto ORDNER" << std::endl;
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
        for (const std::string& skipped : scan.Skipped)
            if (which == stMoxTooOld) err << "MOX_Convert: " << skipped << std::endl;
        ConvertRun run(diagram, dir, scan.Items, which);
        // One sync for the whole pass.
        run.WaitAll();
        while (!run.Done()) {
            const std::string caption = scan.Items[run.Next()].Caption;
            if (run.Step()) out << caption << std::endl;
            else err << "MOX_Convert: " << run.Failures().back() << std::endl;
        }
        total += run.Total();
        failed += int(run.Failures().size());
    }
    if (failed == 0) return exitOk;
    err << "MOX_Convert: " << failed << " von " << total << " Mitschnitten ließen sich nicht umwandeln" << std::endl;
    return exitSomeFailed;
}
