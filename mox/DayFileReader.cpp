#include "mox/DayFileReader.h"

#include <cerrno>
#include <cmath>
#include <system_error>

#include "mox/rtl/SysUtils.h"
#include "mox/rtl/TextFile.h"

namespace {

bool IsComponent(const std::string& name) { return name == "Bx" || name == "By" || name == "Bz" || name == "B"; }

// The components a file of this type holds, from its description: "Bx", "Bx By" or
// "Bx, By, Bz, B".
std::vector<std::string> ComponentsOf(const std::string& description) { return SplitWords(description, " ,"); }

class StrictReader {
public:
    explicit StrictReader(const std::string& path) : path(path)
    {
        errno = 0;
        if (!in.Open(path))
            throw std::system_error(errno != 0 ? errno : EIO, std::generic_category(),
                                    "Datei kann nicht gelesen werden: " + path);
    }

    [[noreturn]] void Fail(const std::string& why) const
    {
        throw EConvertError(path + ", Zeile " + IntToStr(in.LineNumber()) + ": " + why);
    }

    // The next line; a file that ends here is cut off.
    std::string Next(const std::string& expected)
    {
        std::string line;
        if (!in.ReadLine(line)) Fail("die Datei endet vorzeitig, erwartet: " + expected);
        return line;
    }

    TextReader in;
    std::string path;
};

// The value after "KEY: "; false when the line is another key.
bool Value(const std::string& line, const std::string& key, std::string& value)
{
    if (line.compare(0, key.size(), key) != 0) return false;
    value = line.size() > key.size() + 1 ? line.substr(key.size() + 1) : std::string();
    return true;
}

}  // namespace

DayFileContent ReadDayFile(const std::string& path)
{
    StrictReader r(path);
    DayFileContent content;
    DayFileHeader& h = content.header;
    h.type = 0;
    std::string line, value;
    bool dated = false;
    for (;;) {
        line = r.Next("DATA:");
        if (line.rfind("DATA:", 0) == 0) break;
        if (Value(line, "TYPE:", value)) {
            if (!TryStrToInt(value, h.type) || (h.type != 1 && h.type != 2 && h.type != 4))
                r.Fail("TYPE '" + value + "' ist nicht 1, 2 oder 4");
        } else if (Value(line, "TYPEDESCRIPTION:", value)) {
            h.description = value;
        } else if (Value(line, "DATE:", value)) {
            TDateTime date;
            if (!TryStrToDateDMY(value, date)) r.Fail("'" + value + "' ist kein gültiges Datum");
            h.date = Trim(value);
            dated = true;
        } else if (Value(line, "LOCATION:", value)) {
            h.location = value;
        } else if (Value(line, "LATITUDE:", value)) {
            h.latitude = value;
        } else if (Value(line, "LONGITUDE:", value)) {
            h.longitude = value;
        } else if (Value(line, "LOCATOR:", value)) {
            h.locator = value;
        } else if (Value(line, "AUTHOR:", value)) {
            h.author = value;
        } else if (Value(line, "REMARKS:", value)) {
            h.remarks = value;
        }
    }
    if (h.type == 0) r.Fail("vor den Daten steht keine Zeile TYPE:");
    if (!dated) r.Fail("vor den Daten steht keine Zeile DATE:");

    std::vector<std::string> names;
    if (h.type == 4) {
        names = {"Bx", "By", "Bz", "B"};
    } else {
        names = ComponentsOf(h.description);
        if (int(names.size()) != h.type)
            r.Fail("TYPEDESCRIPTION '" + h.description + "' passt nicht zu TYPE " + IntToStr(h.type));
        for (const std::string& n : names)
            if (!IsComponent(n)) r.Fail("unbekannte Komponente '" + n + "'");
    }

    for (std::size_t s = 0; s < names.size(); ++s) {
        const std::string marker = h.type == 1 ? "DATA:" : "DATA: " + names[s];
        if (s > 0) line = r.Next(marker);
        if (line != marker) r.Fail("erwartet '" + marker + "', gelesen '" + line + "'");
        DayFileSeries series;
        series.name = names[s];
        for (double& v : series.minutes) {
            line = r.Next("1440 Werte nach '" + marker + "'");
            if (line.find("NaN") != std::string::npos) {
                v = std::nan("");
            } else if (!TryParseDecimal(line.data(), line.size(), v) || !std::isfinite(v)) {
                r.Fail("'" + line + "' ist kein Messwert");
            }
        }
        line = r.Next("END");
        if (line != "END") r.Fail("erwartet 'END' nach 1440 Werten, gelesen '" + line + "'");
        content.series.push_back(std::move(series));
    }
    return content;
}
