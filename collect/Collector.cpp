#include "collect/Collector.h"

#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <utility>

#include "lines/LineDay.h"
#include "lines/MqttSettings.h"
#include "mox/rtl/StationRecord.h"

namespace {

using namespace std::chrono_literals;

// How often the folders' watches are read, and how often a folder without one is looked at.
constexpr auto kReadWatchesEvery = 100ms;
constexpr auto kCheckUnwatchedEvery = 1s;

}  // namespace

Collector::Collector(std::string dir, CollectorLimits l) : root(std::move(dir)), limits(std::move(l))
{
    if (!root.empty() && root.back() != '/') root += '/';
    limits.MaxOpenFiles = std::max<std::size_t>(1, limits.MaxOpenFiles);
    watchFd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (limits.BackgroundFileWork) worker = std::make_unique<FileWorker>();
}

Collector::~Collector()
{
    worker.reset();
    for (auto& [name, s] : stations) Close(*s);
    if (watchFd >= 0) ::close(watchFd);
}

Collector::Result Collector::Refuse(const std::string& text)
{
    message = text;
    ++refusals;
    return Result::Refused;
}

Collector::Station* Collector::StationOf(const std::string& name)
{
    auto it = stations.find(name);
    if (it == stations.end()) {
        if (limits.Stations.empty() ? stations.size() >= limits.MaxStations : limits.Stations.count(name) == 0)
            return nullptr;
        it = stations.emplace(name, std::make_unique<Station>(name, root + name + "/")).first;
    }
    it->second->lastUse = ++clock;
    return it->second.get();
}

// Closed as we left it: the count goes on from there when the file is opened again.
void Collector::Close(Station& s)
{
    if (s.fd >= 0) {
        ::close(s.fd);
        --openFiles;
        s.counts.Remember(s.openDay, s.file);
    }
    s.fd = -1;
    s.openDay.clear();
    s.openError = 0;
}

// Closed because the file is no longer as we left it: counted whole when opened again.
void Collector::Drop(Station& s)
{
    const std::string day = s.openDay;
    Close(s);
    s.counts.Forget(day);
}

std::size_t Collector::OpenFiles() const { return openFiles; }

void Collector::LimitOpenFiles()
{
    if (openFiles <= limits.MaxOpenFiles) return;
    std::vector<std::pair<std::uint64_t, Station*>> open;
    for (auto& [name, s] : stations)
        if (s->fd >= 0) open.push_back({s->lastUse, s.get()});
    std::sort(open.begin(), open.end(), [](const auto& x, const auto& y) { return x.first < y.first; });
    for (std::size_t i = 0; i < open.size() && openFiles > limits.MaxOpenFiles; ++i) Close(*open[i].second);
}

void Collector::Tick(Clock::time_point now)
{
    for (auto& [name, s] : stations)
        if (s->fd >= 0 && now - s->lastWrite > limits.IdleClose) Close(*s);
}

// Marks the stations whose folder changed; a lost event marks all of them.
void Collector::ReadWatches(Clock::time_point now)
{
    if (watchFd < 0 || now - watchesRead < kReadWatchesEvery) return;
    watchesRead = now;
    alignas(inotify_event) char buf[16 * 1024];
    ssize_t n;
    while ((n = ::read(watchFd, buf, sizeof buf)) > 0) {
        for (const char* at = buf; at < buf + n;) {
            const auto* ev = reinterpret_cast<const inotify_event*>(at);
            at += sizeof(inotify_event) + ev->len;
            if (ev->mask & IN_Q_OVERFLOW) {
                for (auto& [name, s] : stations) s->stale = true;
                continue;
            }
            const auto it = watches.find(ev->wd);
            if (it == watches.end()) continue;
            Station& s = *it->second;
            if (ev->mask & IN_IGNORED) {
                // The folder is gone; a new one is watched when it is made again.
                s.watch = -1;
                s.stale = true;
                watches.erase(it);
            } else if ((ev->mask & (IN_DELETE_SELF | IN_MOVE_SELF)) || (ev->len && s.openDay + ".txt" == ev->name)) {
                s.stale = true;
            }
        }
    }
}

// The file at the day's name must still be the one we hold (or still be missing), as long as
// we left it.
void Collector::Verify(Station& s)
{
    struct stat st {};
    const bool exists = ::stat((s.folder + s.openDay + ".txt").c_str(), &st) == 0;
    if (s.fd < 0 ? exists : !exists || st.st_ino != s.file.inode || st.st_size != s.file.size) Drop(s);
}

// Whether the station's day file for `day` is known, and still as known.
bool Collector::Current(Station& s, const std::string& day, Clock::time_point now)
{
    if (s.openDay != day) return false;
    if (s.stale || (s.watch < 0 && now - s.checkedAt >= kCheckUnwatchedEvery)) {
        s.stale = false;
        s.checkedAt = now;
        Verify(s);
    }
    return s.openDay == day;
}

void Collector::Apply(Station& s, const DayOpening& o, Clock::time_point now)
{
    s.opening = false;
    if (o.watch >= 0 && o.watch != s.watch) {
        if (s.watch >= 0) watches.erase(s.watch);
        s.watch = o.watch;
        watches[o.watch] = &s;
    }
    Close(s);
    s.openDay = o.request.day;
    s.fd = o.fd;
    s.file = o.state;
    s.openError = o.error;
    // What happened to the file while the worker opened it came before we knew it or its
    // watch: looked at once before the next line, a stat per opening.
    s.stale = worker != nullptr;
    s.checkedAt = now;
    if (s.fd >= 0) {
        ++openFiles;
        LimitOpenFiles();
    }
}

std::uint64_t Collector::LinesOf(Station& s, const std::string& day)
{
    return s.openDay == day && s.openError == 0 ? s.file.lines : s.counts.Lines(day);
}

bool Collector::Append(Station& s, const std::string& line)
{
    const std::string text = line + "\r\n";
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(s.fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            const int error = n < 0 ? errno : ENOSPC;
            message = s.folder + s.openDay + ".txt: " + std::strerror(error);
            // A torn line would spoil the positions of every line after it. Appended, so the
            // part written is the file's end.
            struct stat st {};
            if (done > 0 && (::fstat(s.fd, &st) != 0 || ftruncate(s.fd, st.st_size - off_t(done)) != 0))
                message += " (nicht gekürzt)";
            Drop(s);
            return false;
        }
        done += std::size_t(n);
    }
    s.file.size += off_t(done);
    ++s.file.lines;
    return true;
}

Collector::Result Collector::Failure(Station& s, const NetLine& l, const std::string& day)
{
    ++failures;
    Gap& gap = s.gaps[day];
    gap.seen = std::max(gap.seen, l.index);
    Acknowledge(s, l);
    return Result::Failed;
}

Collector::Result Collector::Decide(Station& s, const NetLine& l, const std::string& day, Clock::time_point now)
{
    // The day file is opened (or found missing) before the line's position is judged; a line
    // to be filed first in a missing file has it made.
    const bool known = Current(s, day, now);
    if (!known || (s.fd < 0 && s.openError == 0 && l.index == 0)) {
        // Rewrites a killed collector began are begun again when their gaps show again; their
        // leftovers go with the station's first opening, before any rewrite of ours begins.
        DayOpenRequest r{s.name, s.folder, day, l.index == 0, s.counts.Recall(day), watchFd, !s.tidied};
        s.tidied = true;
        if (worker) {
            if (!s.opening) worker->Submit(std::move(r));
            s.opening = true;
            return Result::Held;
        }
        Apply(s, OpenDay(r), now);
    }
    if (s.openError != 0) {
        message = s.folder + day + ".txt: " + std::strerror(s.openError);
        Close(s);
        return Failure(s, l, day);
    }

    const std::uint64_t have = s.file.lines;
    if (const auto gap = s.gaps.find(day); gap != s.gaps.end() && gap->second.rewrite)
        return TakeIntoRewrite(s, day, gap->second, l, have, now);
    Result result;
    if (l.index < have) {
        ++duplicates;
        result = Result::Duplicate;
    } else if (l.index > have) {
        Gap& gap = s.gaps[day];
        gap.seen = std::max(gap.seen, l.index);
        gap.whole = true;
        result = Result::Gap;
    } else if (!Append(s, l.line)) {
        return Failure(s, l, day);
    } else {
        s.lastWrite = now;
        ++filed;
        result = Result::Filed;
    }
    Acknowledge(s, l);
    return result;
}

Collector::Result Collector::Take(const std::string& topic, const std::string& payload, Clock::time_point now)
{
    message.clear();
    const std::string name = StationOfTopic(topic, "line");
    if (name.empty()) return Refuse(topic + ": kein Zeilen-Thema einer Station (mox/<Station>/line)");
    if (payload.size() > limits.MaxPayload)
        return Refuse(topic + ": Nachricht zu lang (" + std::to_string(payload.size()) + " Bytes)");
    NetLine l;
    if (!ParseNetLine(payload, l) || l.line.find_first_of("\r\n") != std::string::npos)
        return Refuse(topic + ": keine Zeile mit Position");
    std::string day;
    if (DayOfLine(l.line, day) != LineDay::Found) return Refuse(topic + ": Zeile ohne gültiges Datum: " + l.line);
    Station* s = StationOf(name);
    if (!s) return Refuse(topic + ": unbekannte Station " + name);

    ReadWatches(now);
    // No line overtakes one held before it.
    const Result result = s->waiting.empty() ? Decide(*s, l, day, now) : Result::Held;
    if (result == Result::Held) {
        s->waiting.push_back({topic, payload, std::move(l), std::move(day)});
        ++holding;
    }
    return result;
}

std::vector<Collector::Decision> Collector::Pump(Clock::time_point now)
{
    std::vector<Decision> decided;
    ReadWatches(now);
    if (!worker) return decided;
    for (const FileWorker::Done& done : worker->Finished()) {
        if (const auto* w = std::get_if<RecordWritten>(&done)) {
            --holding;
            message.clear();
            const Result result = Recorded(*w);
            decided.push_back({w->request.topic, w->request.payload, result, message});
            continue;
        }
        const DayOpening& o = std::get<DayOpening>(done);
        const auto it = stations.find(o.request.station);
        if (it == stations.end()) {
            if (o.fd >= 0) ::close(o.fd);
            continue;
        }
        Station& s = *it->second;
        Apply(s, o, now);
        std::size_t n = 0;
        for (; n < s.waiting.size(); ++n) {
            Waiting& w = s.waiting[n];
            message.clear();
            const Result result = Decide(s, w.line, w.day, now);
            if (result == Result::Held) break;
            decided.push_back({std::move(w.topic), std::move(w.payload), result, message});
        }
        s.waiting.erase(s.waiting.begin(), s.waiting.begin() + std::ptrdiff_t(n));
        holding -= n;
    }
    return decided;
}

void Collector::Acknowledge(Station& s, const NetLine& l)
{
    // Lines read back from a day file (seq 0) are no spool's lines to release. While a gap is
    // open nothing is released: the spool keeps what this archive does not hold yet, and a
    // collector killed meanwhile sees the gap again when the spool sends its lines again.
    if (l.seq == 0) return;
    NetFiled& newest = s.gaps.empty() ? s.due : s.held;
    if (l.epoch != newest.epoch || l.seq > newest.seq) newest = {l.epoch, l.seq};
    // A spool line sent again means the station has not heard its acknowledgment: told again.
    if (s.gaps.empty()) s.ackDue = true;
}

Collector::Result Collector::TakeIntoRewrite(Station& s, const std::string& day, Gap& gap, const NetLine& l,
                                             std::uint64_t have, Clock::time_point now)
{
    DayRewrite& r = *gap.rewrite;
    Acknowledge(s, l);
    if (l.index < r.Lines()) {
        ++duplicates;
        return Result::Duplicate;
    }
    if (l.index > r.Lines()) {
        gap.seen = std::max(gap.seen, l.index);
        return Result::Gap;
    }
    gap.answeredAt = now;
    if (!r.Append(l.line)) return FailRewrite(gap, r.File() + ": " + std::strerror(errno), now);
    // A line the archive holds already is no news, though it goes into the new file.
    const Result result = l.index < have ? Result::Duplicate : Result::Filed;
    if (result == Result::Duplicate) ++duplicates;
    return r.Lines() > gap.seen ? FinishRewrite(s, day, gap, result, now) : result;
}

Collector::Result Collector::FailRewrite(Gap& gap, const std::string& text, Clock::time_point now)
{
    message = text;
    ++failures;
    gap.rewrite.reset();
    --rewrites;
    // Begun again from the start, but not at once: the whole day comes again each time.
    gap.askedAt = now;
    return Result::Failed;
}

Collector::Result Collector::FinishRewrite(Station& s, const std::string& day, Gap& gap, Result result,
                                           Clock::time_point now)
{
    const std::uint64_t before = LinesOf(s, day), lines = gap.rewrite->Lines();
    const off_t size = gap.rewrite->Size();
    // The open day file goes before the rename: later lines of the day go into the new file.
    if (s.openDay == day) Close(s);
    const std::string file = gap.rewrite->File();
    if (!gap.rewrite->Commit()) return FailRewrite(gap, file + ": " + std::strerror(errno), now);
    gap.rewrite.reset();
    --rewrites;
    // The new file is known as written, so the rename is no stranger's change when the folder's
    // watch reports it and the file is not counted again.
    struct stat st {};
    if (::stat(file.c_str(), &st) == 0 && st.st_size == size) s.counts.Remember(day, {st.st_ino, size, lines});
    else s.counts.Forget(day);
    if (lines > before) filed += lines - before;
    return result;
}

bool Collector::BeginRewrite(Station& s, const std::string& day, Gap& gap)
{
    const std::string file = s.folder + day + ".txt";
    std::error_code ec;
    std::filesystem::create_directories(s.folder, ec);
    auto r = std::make_unique<DayRewrite>();
    if (!r->Open(file)) {
        problem = file + " kann nicht neu geschrieben werden: " + std::strerror(errno);
        return false;
    }
    gap.rewrite = std::move(r);
    gap.answeredAt = {};
    ++rewrites;
    return true;
}

std::string Collector::TakeProblem() { return std::exchange(problem, {}); }

std::vector<std::pair<std::string, NetFiled>> Collector::AcknowledgmentsDue()
{
    std::vector<std::pair<std::string, NetFiled>> due;
    for (auto& [name, s] : stations)
        if (s->ackDue) {
            due.emplace_back(name, s->due);
            s->ackDue = false;
        }
    return due;
}

std::vector<std::pair<std::string, NetRequest>> Collector::RequestsDue(Clock::time_point now)
{
    // Each rewrite holds its temporary open: they take at most half of the files the
    // collector may keep open, further days wait for their turn.
    const std::size_t maxRewrites = std::max<std::size_t>(1, limits.MaxOpenFiles / 2);
    std::vector<std::pair<std::string, NetRequest>> due;
    for (auto& [name, s] : stations) {
        if (s->gaps.empty()) continue;
        // A gap is closed once the archive holds the line that showed it.
        for (auto it = s->gaps.begin(); it != s->gaps.end();)
            it = !it->second.rewrite && LinesOf(*s, it->first) > it->second.seen ? s->gaps.erase(it) : std::next(it);
        if (s->gaps.empty()) {
            if (s->held.seq > 0 && (s->held.epoch != s->due.epoch || s->held.seq > s->due.seq)) {
                s->due = s->held;
                s->ackDue = true;
            }
            s->held = {};
            continue;
        }
        for (auto& [day, gap] : s->gaps) {
            if (gap.whole && !gap.rewrite && (rewrites >= maxRewrites || !BeginRewrite(*s, day, gap))) continue;
            const Clock::time_point last = std::max(gap.askedAt, gap.answeredAt);
            if (gap.askedAt != Clock::time_point{} && now - last < limits.RequestEvery) continue;
            gap.askedAt = now;
            due.emplace_back(name, NetRequest{day, gap.rewrite ? gap.rewrite->Lines() : LinesOf(*s, day)});
        }
    }
    return due;
}

Collector::Result Collector::TakeRecord(const std::string& topic, const std::string& payload)
{
    message.clear();
    const std::string name = StationOfTopic(topic, "record");
    if (name.empty()) return Refuse(topic + ": kein Stationsdaten-Thema (mox/<Station>/record)");
    if (!ValidStationRecord(payload)) return Refuse(topic + ": keine Stationsdaten im Format [MOX-Header]");
    if (!StationOf(name)) return Refuse(topic + ": unbekannte Station " + name);
    RecordRequest r{topic, payload, root + name + "/" + kStationRecordName};
    if (!worker) return Recorded(WriteRecord(r));
    worker->Submit(std::move(r));
    ++holding;
    return Result::Held;
}

Collector::Result Collector::Recorded(const RecordWritten& w)
{
    if (w.error == 0) return w.changed ? Result::Filed : Result::Duplicate;
    message = w.request.file + ": " + std::strerror(w.error);
    ++failures;
    return Result::Failed;
}
