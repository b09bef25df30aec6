#include "collect/Collector.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <utility>

#include "lines/LineDay.h"
#include "lines/MqttSettings.h"
#include "mox/rtl/AtomicFile.h"
#include "mox/rtl/StationRecord.h"

Collector::Collector(std::string dir, CollectorLimits l) : root(std::move(dir)), limits(std::move(l))
{
    if (!root.empty() && root.back() != '/') root += '/';
    limits.MaxOpenFiles = std::max<std::size_t>(1, limits.MaxOpenFiles);
}

Collector::~Collector()
{
    for (auto& [name, s] : stations) Close(*s);
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
        it = stations.emplace(name, std::make_unique<Station>(root + name + "/")).first;
        // Rewrites a killed collector began are begun again when their gaps show again.
        DayRewrite::RemoveLeftovers(root + name + "/");
    }
    it->second->lastUse = ++clock;
    return it->second.get();
}

void Collector::Close(Station& s)
{
    if (s.fd < 0) return;
    ::close(s.fd);
    s.fd = -1;
    s.openDay.clear();
    --openFiles;
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

bool Collector::Append(Station& s, const std::string& name, const std::string& day, const std::string& line)
{
    const std::string dir = root + name + "/", file = dir + day + ".txt";
    if (s.fd >= 0 && s.openDay != day) Close(s);
    if (s.fd < 0) {
        if (!s.folderMade) {
            std::error_code ec;
            std::filesystem::create_directories(dir, ec);
            s.folderMade = true;
        }
        s.fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        if (s.fd < 0) {
            message = file + ": " + std::strerror(errno);
            s.folderMade = false;  // it may have been removed: made again with the next line
            return false;
        }
        s.openDay = day;
        ++openFiles;
        LimitOpenFiles();
    }
    const std::string text = line + "\r\n";
    const off_t start = lseek(s.fd, 0, SEEK_END);
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(s.fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            message = file + ": " + std::strerror(n < 0 ? errno : ENOSPC);
            // A torn line would spoil the positions of every line after it.
            if (done > 0 && start >= 0 && ftruncate(s.fd, start) != 0) message += " (nicht gekürzt)";
            Close(s);
            return false;
        }
        done += std::size_t(n);
    }
    return true;
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

    const std::uint64_t have = s->counts.Lines(day);
    if (const auto gap = s->gaps.find(day); gap != s->gaps.end() && gap->second.rewrite)
        return TakeIntoRewrite(*s, day, gap->second, l, have, now);
    Result result;
    if (l.index < have) {
        ++duplicates;
        result = Result::Duplicate;
    } else if (l.index > have) {
        Gap& gap = s->gaps[day];
        gap.seen = std::max(gap.seen, l.index);
        gap.whole = true;
        result = Result::Gap;
    } else if (!Append(*s, name, day, l.line)) {
        ++failures;
        Gap& gap = s->gaps[day];
        gap.seen = std::max(gap.seen, l.index);
        result = Result::Failed;
    } else {
        s->lastWrite = now;
        ++filed;
        result = Result::Filed;
    }
    Acknowledge(*s, l);
    return result;
}

void Collector::Acknowledge(Station& s, const NetLine& l)
{
    // Lines read back from a day file (seq 0) are no spool's lines to release. While a gap is
    // open nothing is released: the spool keeps what this archive does not hold yet, and a
    // collector killed meanwhile sees the gap again when the spool sends its lines again.
    if (l.seq == 0) return;
    NetFiled& newest = s.gaps.empty() ? s.due : s.held;
    if (l.epoch == newest.epoch && l.seq <= newest.seq) return;
    newest = {l.epoch, l.seq};
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
    // The open day file goes before the rename: later lines of the day go into the new file.
    if (s.openDay == day) Close(s);
    const std::uint64_t before = s.counts.Lines(day), lines = gap.rewrite->Lines();
    const std::string file = gap.rewrite->File();
    if (!gap.rewrite->Commit()) return FailRewrite(gap, file + ": " + std::strerror(errno), now);
    gap.rewrite.reset();
    --rewrites;
    if (lines > before) filed += lines - before;
    return result;
}

bool Collector::BeginRewrite(Station& s, const std::string& name, const std::string& day, Gap& gap)
{
    const std::string file = root + name + "/" + day + ".txt";
    std::error_code ec;
    std::filesystem::create_directories(root + name, ec);
    auto r = std::make_unique<DayRewrite>();
    if (!r->Open(file)) {
        problem = file + " kann nicht neu geschrieben werden: " + std::strerror(errno);
        return false;
    }
    gap.rewrite = std::move(r);
    gap.answeredAt = {};
    ++rewrites;
    s.folderMade = true;
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
            it =
                !it->second.rewrite && s->counts.Lines(it->first) > it->second.seen ? s->gaps.erase(it) : std::next(it);
        if (s->gaps.empty()) {
            if (s->held.seq > 0 && (s->held.epoch != s->due.epoch || s->held.seq > s->due.seq)) {
                s->due = s->held;
                s->ackDue = true;
            }
            s->held = {};
            continue;
        }
        for (auto& [day, gap] : s->gaps) {
            if (gap.whole && !gap.rewrite && (rewrites >= maxRewrites || !BeginRewrite(*s, name, day, gap))) continue;
            const Clock::time_point last = std::max(gap.askedAt, gap.answeredAt);
            if (gap.askedAt != Clock::time_point{} && now - last < limits.RequestEvery) continue;
            gap.askedAt = now;
            due.emplace_back(name, NetRequest{day, gap.rewrite ? gap.rewrite->Lines() : s->counts.Lines(day)});
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
    const std::string dir = root + name + "/", file = dir + kStationRecordName;
    std::ifstream in(file, std::ios::binary);
    if (in && std::string(std::istreambuf_iterator<char>(in), {}) == payload) return Result::Duplicate;
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    AtomicFile out;
    bool ok = out.Open(file);
    for (std::size_t done = 0; ok && done < payload.size();) {
        const ssize_t n = ::write(out.Fd(), payload.data() + done, payload.size() - done);
        ok = n > 0;
        if (ok) done += std::size_t(n);
    }
    if (!ok || !out.Commit()) {
        message = file + ": " + std::strerror(errno);
        ++failures;
        return Result::Failed;
    }
    return Result::Filed;
}
