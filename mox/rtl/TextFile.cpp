#include "mox/rtl/TextFile.h"

#include "mox/rtl/AtomicFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

// Windows-1252 0x80..0x9F; 0 marks the five undefined codes, kept as the C1 control of
// the same number.
const char16_t kHighTable[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
                                 0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
                                 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

void AppendUtf8(std::string& out, char32_t cp)
{
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

bool IsAscii(const std::string& s)
{
    for (unsigned char c : s)
        if (c >= 0x80) return false;
    return true;
}

}  // namespace

bool IsValidUtf8(const std::string& s)
{
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    const auto* end = p + s.size();
    while (p < end) {
        const unsigned char c = *p;
        if (c < 0x80) {
            ++p;
            continue;
        }
        int len;
        char32_t cp;
        if (c >= 0xC2 && c <= 0xDF) {
            len = 2;
            cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            len = 3;
            cp = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            len = 4;
            cp = c & 0x07;
        } else return false;
        if (end - p < len) return false;
        for (int i = 1; i < len; ++i) {
            if ((p[i] & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (p[i] & 0x3F);
        }
        // No overlong forms, surrogates or code points beyond Unicode.
        if ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        p += len;
    }
    return true;
}

std::string Cp1252ToUtf8(const std::string& s)
{
    std::string out;
    out.reserve(s.size() + s.size() / 8);
    for (unsigned char c : s) {
        if (c < 0x80) out += char(c);
        else if (c < 0xA0) AppendUtf8(out, kHighTable[c - 0x80] ? kHighTable[c - 0x80] : c);
        else AppendUtf8(out, c);
    }
    return out;
}

std::string Utf8ToCp1252(const std::string& s)
{
    if (IsAscii(s)) return s;
    if (!IsValidUtf8(s)) return s;  // already 8-bit text
    std::string out;
    out.reserve(s.size());
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    const auto* end = p + s.size();
    while (p < end) {
        char32_t cp;
        const unsigned char c = *p;
        int len = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        cp = len == 1 ? c : len == 2 ? (c & 0x1F) : len == 3 ? (c & 0x0F) : (c & 0x07);
        for (int i = 1; i < len; ++i) cp = (cp << 6) | (p[i] & 0x3F);
        p += len;
        if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
            out += char(cp);
            continue;
        }
        char mapped = '?';
        for (int i = 0; i < 32; ++i) {
            if ((kHighTable[i] && kHighTable[i] == cp) || (!kHighTable[i] && cp == char32_t(0x80 + i))) {
                mapped = char(0x80 + i);
                break;
            }
        }
        out += mapped;
    }
    return out;
}

std::string DecodeLine(std::string raw)
{
    if (IsAscii(raw) || IsValidUtf8(raw)) return raw;
    return Cp1252ToUtf8(raw);
}

TextReader::~TextReader()
{
    Close();
    std::free(chunk);
}

bool TextReader::Open(const std::string& path)
{
    Close();
    file = std::fopen(path.c_str(), "rb");
    lineNumber = 0;
    return file != nullptr;
}

void TextReader::Close()
{
    if (file) std::fclose(file);
    file = nullptr;
}

void TextReader::Rewind()
{
    if (file) std::rewind(file);
    lineNumber = 0;
}

bool TextReader::ReadRaw(std::string& line)
{
    line.clear();
    if (!file) return false;
    // getline keeps NUL bytes that line noise may have put into a line.
    const ssize_t len = getline(&chunk, &chunkSize, file);
    if (len < 0) return false;
    std::size_t n = std::size_t(len);
    if (n > 0 && chunk[n - 1] == '\n') --n;
    if (n > 0 && chunk[n - 1] == '\r') --n;
    line.assign(chunk, n);
    return true;
}

bool TextReader::ReadLine(std::string& line)
{
    if (!ReadRaw(line)) return false;
    ++lineNumber;
    line = DecodeLine(std::move(line));
    return true;
}

bool TextReader::Eof()
{
    if (!file) return true;
    const int c = std::fgetc(file);
    if (c == EOF) return true;
    std::ungetc(c, file);
    return false;
}

TextWriter::~TextWriter() { Abort(); }

bool TextWriter::Open(const std::string& path, bool atomicWrite)
{
    Abort();
    target = path;
    atomic = atomicWrite;
    error = 0;
    if (atomic) {
        if (!replacement.Open(path)) return false;
        // A second descriptor of the same open file: closing it keeps the writer's lock.
        const int fd = fcntl(replacement.Fd(), F_DUPFD_CLOEXEC, 0);
        file = fd >= 0 ? fdopen(fd, "wb") : nullptr;
        if (!file) {
            const int e = errno;
            if (fd >= 0) close(fd);
            replacement.Abort();
            errno = e;
            return false;
        }
    } else {
        file = std::fopen(path.c_str(), "wb");
        if (!file) return false;
    }
    buffer.resize(1 << 16);
    std::setvbuf(file, buffer.data(), _IOFBF, buffer.size());
    return true;
}

void TextWriter::WriteLine(const std::string& utf8)
{
    const std::string text = Utf8ToCp1252(utf8);
    WriteAsciiLine(text.data(), text.size());
}

void TextWriter::WriteAsciiLine(const char* s, std::size_t n)
{
    if (!file || error) return;
    if (std::fwrite(s, 1, n, file) != n || std::fwrite("\r\n", 1, 2, file) != 2) error = errno ? errno : EIO;
}

bool TextWriter::Commit()
{
    if (!file) {
        errno = EBADF;
        return false;
    }
    // The reason told is that of the first step that failed.
    if (!error && std::fflush(file) != 0) error = errno;
    if (std::fclose(file) != 0 && !error) error = errno;
    file = nullptr;
    if (atomic) {
        if (error) replacement.Abort();
        else if (!replacement.Commit()) error = errno;
    }
    errno = error;
    return error == 0;
}

bool TextWriter::Finish(bool sync, PendingFiles& done)
{
    if (!file || !atomic) {
        errno = EBADF;
        return false;
    }
    if (!error && std::fflush(file) != 0) error = errno;
    if (std::fclose(file) != 0 && !error) error = errno;
    file = nullptr;
    if (!error && sync && !replacement.Sync()) error = errno;
    if (error) {
        replacement.Abort();
        errno = error;
        return false;
    }
    done.Add(std::move(replacement));
    return true;
}

void TextWriter::Abort()
{
    if (!file) return;
    std::fclose(file);
    file = nullptr;
    if (atomic) replacement.Abort();
}

bool ReadTextLines(const std::string& path, std::vector<std::string>& lines)
{
    lines.clear();
    TextReader r;
    if (!r.Open(path)) return false;
    std::string line;
    while (r.ReadLine(line)) lines.push_back(line);
    return true;
}

bool WriteTextLines(const std::string& path, const std::vector<std::string>& lines)
{
    TextWriter w;
    if (!w.Open(path, true)) return false;
    for (const std::string& l : lines) w.WriteLine(l);
    return w.Commit();
}
