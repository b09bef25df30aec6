#include "mox/DayFileWriter.h"

#include <cerrno>
#include <charconv>
#include <system_error>

namespace {

[[noreturn]] void RaiseWriteError(const std::string& path, int err)
{
    throw std::system_error(err != 0 ? err : EIO, std::generic_category(),
                            "Datei kann nicht geschrieben werden: " + path);
}

}  // namespace

void WriteDayFile(TextWriter& out, const DayFileHeader& header, const std::vector<DayFileSection>& sections)
{
    const std::string count = std::to_string(header.type);
    out.WriteLine("TYPE: " + count);
    out.WriteLine("TYPEDESCRIPTION: " + header.description);
    out.WriteLine("VECTORS: " + count);
    for (std::size_t i = 0; i < sections.size(); ++i)
        out.WriteLine("NAME" + std::to_string(i + 1) + ": " + sections[i].name);
    out.WriteLine("DATE: " + header.date);
    out.WriteLine("LOCATION: " + header.location);
    out.WriteLine("LATITUDE: " + header.latitude);
    out.WriteLine("LONGITUDE: " + header.longitude);
    out.WriteLine("LOCATOR: " + header.locator);
    out.WriteLine("AUTHOR: " + header.author);
    out.WriteLine("REMARKS: " + header.remarks);

    for (const DayFileSection& s : sections) {
        out.WriteLine(header.type == 1 ? std::string("DATA:") : "DATA: " + s.name);
        for (const std::optional<long long>& v : s.minutes) {
            if (!v) {
                out.WriteAsciiLine("NaN", 3);
                continue;
            }
            char text[24];
            const auto r = std::to_chars(text, text + sizeof text, *v);
            out.WriteAsciiLine(text, std::size_t(r.ptr - text));
        }
        out.WriteAsciiLine("END", 3);
    }
}

void OpenForWriting(TextWriter& out, const std::string& path)
{
    errno = 0;
    if (!out.Open(path, true)) RaiseWriteError(path, errno);
}

void CommitOrRaise(TextWriter& out)
{
    errno = 0;
    if (!out.Commit()) RaiseWriteError(out.Path(), errno);
}

void FinishOrRaise(TextWriter& out, bool sync, PendingFiles& done)
{
    errno = 0;
    if (!out.Finish(sync, done)) RaiseWriteError(out.Path(), errno);
}
