#include "station/app/LineSpool.h"

#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

#include "mox/rtl/AtomicFile.h"

namespace {

// Emptied or rewritten only past these sizes, so a quiet station does not rewrite its file on
// every acknowledgment.
constexpr std::uint64_t kTruncateAbove = 64 * 1024;
constexpr std::uint64_t kRewriteAbove = 4 * 1024 * 1024;

std::uint32_t Crc(const std::string& text)
{
    return std::uint32_t(crc32(0, reinterpret_cast<const Bytef*>(text.data()), uInt(text.size())));
}

std::string DataRecord(std::uint64_t seq, const std::string& line)
{
    char head[96];
    std::snprintf(head, sizeof head, "D %llu %zu %08x\n", static_cast<unsigned long long>(seq),
                  line.size(), Crc(std::to_string(seq) + " " + line));
    return head + line + "\n";
}

std::string AckRecord(std::uint64_t seq)
{
    char text[64];
    std::snprintf(text, sizeof text, "A %llu %08x\n", static_cast<unsigned long long>(seq),
                  Crc(std::to_string(seq)));
    return text;
}

// One record at `at`: its kind, sequence number, line and length in bytes; false when the
// bytes there are no whole, intact record.
bool ParseRecord(const std::string& buf, std::size_t at, char& kind, std::uint64_t& seq,
                 std::string& line, std::size_t& length)
{
    const std::size_t eol = buf.find('\n', at);
    if (eol == std::string::npos || eol - at > 80) return false;
    const std::string head = buf.substr(at, eol - at);
    unsigned long long s = 0;
    std::size_t n = 0;
    unsigned crc = 0;
    int used = 0;
    if (head.rfind("D ", 0) == 0) {
        if (std::sscanf(head.c_str(), "D %llu %zu %8x%n", &s, &n, &crc, &used) != 3 ||
            std::size_t(used) != head.size())
            return false;
        if (eol + 1 + n + 1 > buf.size() || buf[eol + 1 + n] != '\n') return false;
        line = buf.substr(eol + 1, n);
        if (Crc(std::to_string(s) + " " + line) != crc) return false;
        kind = 'D';
        length = eol + 1 + n + 1 - at;
    } else if (head.rfind("A ", 0) == 0) {
        if (std::sscanf(head.c_str(), "A %llu %8x%n", &s, &crc, &used) != 2 ||
            std::size_t(used) != head.size() || Crc(std::to_string(s)) != crc)
            return false;
        kind = 'A';
        length = eol + 1 - at;
    } else {
        return false;
    }
    seq = s;
    return seq > 0;
}

}  // namespace

LineSpool::LineSpool(std::string file, int syncIntervalSeconds)
    : path(std::move(file)), syncInterval(syncIntervalSeconds)
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
        char kind;
        std::uint64_t seq;
        std::string line;
        std::size_t length;
        if (ParseRecord(buf, at, kind, seq, line, length)) {
            if (kind == 'D') pending[seq] = line;
            else pending.erase(seq);
            nextSeq = std::max(nextSeq, seq + 1);
            at += length;
            goodEnd = at;
            damageInside = damaged;
            continue;
        }
        // Damage inside the file: go on at the next line start that holds a whole record.
        damaged = true;
        at = buf.find('\n', at);
        at = at == std::string::npos ? buf.size() : at + 1;
    }
    fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = path + ": " + std::strerror(errno);
        return;
    }
    // A torn last record is what a crash leaves: cut it off, or it would spoil the next one.
    if (goodEnd < buf.size() && ftruncate(fd, off_t(goodEnd)) != 0)
        error = path + ": " + std::strerror(errno);
    size = goodEnd;
    if (damageInside) error = path + ": beschädigte Einträge übersprungen";
    if (damageInside || (pending.empty() && size > 0)) Rewrite();
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
            if (done > 0 && ftruncate(fd, off_t(size)) != 0)
                error += std::string(" (") + std::strerror(errno) + ")";
            return false;
        }
        done += std::size_t(n);
    }
    size += record.size();
    unsynced = true;
    SyncIfDue();
    return true;
}

std::uint64_t LineSpool::Append(const std::string& line)
{
    const std::uint64_t seq = nextSeq++;
    pending[seq] = line;
    if (Write(DataRecord(seq, line))) error.clear();
    return seq;
}

void LineSpool::Acknowledge(std::uint64_t seq)
{
    if (pending.erase(seq) == 0) return;
    const std::string record = AckRecord(seq);
    if (pending.empty() && size + record.size() > kTruncateAbove) {
        // Nothing pending: an empty file says the same as all its records.
        if (fd >= 0 && ftruncate(fd, 0) == 0) {
            size = 0;
            acknowledgedBytes = 0;
            return;
        }
    }
    Write(record);
    acknowledgedBytes += record.size();
    if (size > kRewriteAbove && acknowledgedBytes > size / 2) Rewrite();
}

void LineSpool::Rewrite()
{
    std::string text;
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
        error = AtomicFile::TemporaryName(path) + ": " + std::strerror(errno);
        return;
    }
    if (fd >= 0) ::close(fd);
    fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    size = text.size();
    acknowledgedBytes = 0;
    if (fd < 0) error = path + ": " + std::strerror(errno);
}

void LineSpool::Sync()
{
    if (fd >= 0 && unsynced) fdatasync(fd);
    unsynced = false;
    lastSync = time(nullptr);
}

void LineSpool::SyncIfDue()
{
    if (unsynced && time(nullptr) - lastSync >= syncInterval) Sync();
}
