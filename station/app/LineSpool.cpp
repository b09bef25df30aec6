#include "station/app/LineSpool.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <vector>

#include "mox/rtl/AtomicFile.h"

namespace {

// Rewritten only past this size, so a quiet station does not rewrite its file on every
// acknowledgment.
constexpr std::uint64_t kRewriteAbove = 64 * 1024;
constexpr std::size_t kMaxHead = 80;

std::uint32_t Crc(const std::string& text)
{
    return std::uint32_t(crc32(0, reinterpret_cast<const Bytef*>(text.data()), uInt(text.size())));
}

std::string Hex8(std::uint32_t v)
{
    char text[16];
    std::snprintf(text, sizeof text, "%08x", v);
    return text;
}

std::string SeqRecord(char kind, std::uint64_t seq)
{
    const std::string s = std::to_string(seq);
    return std::string(1, kind) + " " + s + " " + Hex8(Crc(kind == 'A' ? s : "T" + s)) + "\n";
}

std::string EpochRecord(const std::string& epoch, std::uint64_t next)
{
    const std::string body = epoch + " " + std::to_string(next);
    return "E " + body + " " + Hex8(Crc("E" + body)) + "\n";
}

std::string NewEpoch()
{
    std::random_device device;
    std::mt19937_64 random((std::uint64_t(device()) << 32) ^ device() ^ std::uint64_t(time(nullptr)));
    char text[24];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(random()));
    return text;
}

// The words of a record's head; each a plain run of characters without spaces.
std::vector<std::string> Words(const std::string& head)
{
    std::vector<std::string> words;
    std::size_t at = 0;
    while (at <= head.size()) {
        const std::size_t space = head.find(' ', at);
        const std::size_t end = space == std::string::npos ? head.size() : space;
        words.push_back(head.substr(at, end - at));
        at = end + 1;
    }
    return words;
}

// Digits only, no sign, no overflow.
bool Number(const std::string& text, std::uint64_t& value)
{
    if (text.empty() || text.size() > 19) return false;
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + std::uint64_t(c - '0');
    }
    return true;
}

bool Hex(const std::string& text, std::uint32_t& value)
{
    if (text.size() != 8) return false;
    value = 0;
    for (char c : text) {
        const int d = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
        if (d < 0) return false;
        value = value << 4 | std::uint32_t(d);
    }
    return true;
}

struct Record {
    char kind = 0;
    std::uint64_t seq = 0;
    std::string text;  // the line, or the epoch
    std::size_t length = 0;
};

// One record at `at`; false when the bytes there are no whole, intact record.
bool ParseRecord(const std::string& buf, std::size_t at, Record& r)
{
    const std::size_t eol = buf.find('\n', at);
    if (eol == std::string::npos || eol - at > kMaxHead) return false;
    const std::vector<std::string> w = Words(buf.substr(at, eol - at));
    std::uint32_t crc = 0;
    if (w.empty() || w[0].size() != 1) return false;
    r.kind = w[0][0];
    if (r.kind == 'D') {
        std::uint64_t n = 0;
        if (w.size() != 4 || !Number(w[1], r.seq) || !Number(w[2], n) || !Hex(w[3], crc)) return false;
        // Compared without adding to `n`, which may be anything a damaged file holds.
        const std::size_t start = eol + 1;
        if (n >= buf.size() - start || buf[start + n] != '\n') return false;
        r.text = buf.substr(start, n);
        if (Crc(std::to_string(r.seq) + " " + r.text) != crc) return false;
        r.length = start + n + 1 - at;
    } else if (r.kind == 'A' || r.kind == 'T') {
        if (w.size() != 3 || !Number(w[1], r.seq) || !Hex(w[2], crc)) return false;
        if (Crc(r.kind == 'A' ? w[1] : "T" + w[1]) != crc) return false;
        r.length = eol + 1 - at;
    } else if (r.kind == 'E') {
        if (w.size() != 4 || w[1].empty() || !Number(w[2], r.seq) || !Hex(w[3], crc)) return false;
        if (Crc("E" + w[1] + " " + w[2]) != crc) return false;
        r.text = w[1];
        r.length = eol + 1 - at;
        return true;
    } else {
        return false;
    }
    return r.seq > 0;
}

}  // namespace

std::string LineSpool::DataRecord(std::uint64_t seq, const std::string& line)
{
    return "D " + std::to_string(seq) + " " + std::to_string(line.size()) + " " +
           Hex8(Crc(std::to_string(seq) + " " + line)) + "\n" + line + "\n";
}

LineSpool::LineSpool(std::string file, int syncIntervalSeconds, std::size_t maxPending)
    : path(std::move(file)), maxLines(std::max<std::size_t>(1, maxPending)), syncInterval(syncIntervalSeconds)
{
    Load();
}

LineSpool::~LineSpool()
{
    if (fd >= 0) {
        Sync();
        ::close(fd);
    }
}

void LineSpool::Load()
{
    std::ifstream in(path, std::ios::binary);
    const std::string buf(in ? std::string(std::istreambuf_iterator<char>(in), {}) : std::string());
    std::size_t at = 0, goodEnd = 0;
    bool damaged = false, damageInside = false;
    while (at < buf.size()) {
        Record r;
        if (ParseRecord(buf, at, r)) {
            if (r.kind == 'D') pending[r.seq] = r.text;
            else if (r.kind == 'A') pending.erase(r.seq);
            else if (r.kind == 'T') pending.erase(pending.begin(), pending.upper_bound(r.seq));
            if (r.kind == 'E') {
                epoch = r.text;
                nextSeq = std::max(nextSeq, r.seq);
            } else {
                nextSeq = std::max(nextSeq, r.seq + 1);
            }
            at += r.length;
            goodEnd = at;
            damageInside = damaged;
            continue;
        }
        // Damage inside the file: go on at the next line start that holds a whole record.
        damaged = true;
        at = buf.find('\n', at);
        at = at == std::string::npos ? buf.size() : at + 1;
    }
    while (pending.size() > maxLines) Forget(pending.begin()->first, pending.begin()->second);
    if (epoch.empty()) {
        // A new file, or one from before epochs: what it holds gets a new identity.
        epoch = NewEpoch();
        Rewrite();
        return;
    }
    fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = path + ": " + std::strerror(errno);
        return;
    }
    // A torn last record is what a crash leaves: cut it off, or it would spoil the next one.
    if (goodEnd < buf.size() && ftruncate(fd, off_t(goodEnd)) != 0) error = path + ": " + std::strerror(errno);
    size = goodEnd;
    if (damageInside || (pending.empty() && size > kRewriteAbove)) Rewrite();
    if (damageInside) error = path + ": beschädigte Einträge übersprungen";
}

bool LineSpool::Write(const std::string& record)
{
    if (fd < 0) return false;
    std::size_t done = 0;
    while (done < record.size()) {
        const ssize_t n = ::write(fd, record.data() + done, record.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error = path + ": " + std::strerror(n < 0 ? errno : ENOSPC);
            // Never leave a torn record in front of the next one.
            if (done > 0 && ftruncate(fd, off_t(size)) != 0) error += std::string(" (") + std::strerror(errno) + ")";
            return false;
        }
        done += std::size_t(n);
    }
    size += record.size();
    unsynced = true;
    if (time(nullptr) - lastSync >= syncInterval) Sync();
    return true;
}

std::uint64_t LineSpool::Append(const std::string& line)
{
    const std::uint64_t seq = nextSeq++;
    pending[seq] = line;
    if (pending.size() > maxLines) {
        // The oldest line gives way; T marks it and all before it as done.
        const auto oldest = pending.begin();
        const std::uint64_t gone = oldest->first;
        deadBytes += DataRecord(oldest->first, oldest->second).size();
        pending.erase(oldest);
        ++dropped;
        const std::string mark = SeqRecord('T', gone);
        Write(mark);
        deadBytes += mark.size();
    }
    if (Write(DataRecord(seq, line)) && !InMemoryOnly()) error.clear();
    if (size > kRewriteAbove && deadBytes > size / 2) Rewrite();
    return seq;
}

void LineSpool::Forget(std::uint64_t seq, const std::string& line)
{
    deadBytes += DataRecord(seq, line).size();
    pending.erase(seq);
    ++dropped;
}

void LineSpool::Acknowledge(std::uint64_t seq)
{
    const auto it = pending.find(seq);
    if (it == pending.end()) return;
    deadBytes += DataRecord(it->first, it->second).size();
    pending.erase(it);
    const std::string record = SeqRecord('A', seq);
    Write(record);
    deadBytes += record.size();
    if (size > kRewriteAbove && deadBytes > size / 2) Rewrite();
}

void LineSpool::AcknowledgeThrough(std::uint64_t seq)
{
    const auto end = pending.upper_bound(seq);
    if (end == pending.begin()) return;
    for (auto it = pending.begin(); it != end; ++it) deadBytes += DataRecord(it->first, it->second).size();
    pending.erase(pending.begin(), end);
    const std::string record = SeqRecord('T', seq);
    Write(record);
    deadBytes += record.size();
    if (size > kRewriteAbove && deadBytes > size / 2) Rewrite();
}

void LineSpool::Rewrite()
{
    std::string text = EpochRecord(epoch, nextSeq);
    for (const auto& [seq, line] : pending) text += DataRecord(seq, line);
    AtomicFile out;
    bool ok = out.Open(path);
    std::size_t done = 0;
    while (ok && done < text.size()) {
        const ssize_t n = ::write(out.Fd(), text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        ok = n > 0;
        if (ok) done += std::size_t(n);
    }
    // The new file is on the medium before it replaces the old one.
    if (!ok || !out.Commit()) {
        if (fd < 0) error = path + ": " + std::strerror(errno) + "; die Zeilen warten nur im Speicher";
        else error = AtomicFile::TemporaryName(path) + ": " + std::strerror(errno);
        return;
    }
    if (fd >= 0) ::close(fd);
    fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    size = text.size();
    deadBytes = 0;
    unsynced = false;
    if (fd < 0) error = path + ": " + std::strerror(errno);
    else error.clear();
}

void LineSpool::CheckFile()
{
    struct stat named {
    }, held{};
    const bool gone = fd >= 0 && (::stat(path.c_str(), &named) != 0 || fstat(fd, &held) != 0 ||
                                  named.st_ino != held.st_ino || named.st_dev != held.st_dev);
    if (fd >= 0 && !gone) return;
    const bool wasMissing = fd < 0;
    Rewrite();
    if (fd < 0) return;
    notice = wasMissing ? "MQTT-Spool " + path + " angelegt; die wartenden Zeilen sind darin gesichert."
                        : "MQTT-Spool " + path + " war verschwunden und ist neu angelegt, mit " +
                              std::to_string(pending.size()) + " wartenden Zeilen.";
}

std::string LineSpool::TakeNotice()
{
    std::string text;
    text.swap(notice);
    return text;
}

void LineSpool::Sync()
{
    if (fd >= 0 && unsynced) fdatasync(fd);
    unsynced = false;
    lastSync = time(nullptr);
}

int LineSpool::SyncDue()
{
    const time_t now = time(nullptr);
    if (now != lastCheck) {
        lastCheck = now;
        CheckFile();
    }
    if (!unsynced || now - lastSync < syncInterval || fd < 0) return -1;
    const int copy = fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (copy < 0) {
        Sync();
        return -1;
    }
    unsynced = false;
    lastSync = now;
    return copy;
}

void LineSpool::SyncCopy(int copy)
{
    if (copy < 0) return;
    fdatasync(copy);
    ::close(copy);
}
