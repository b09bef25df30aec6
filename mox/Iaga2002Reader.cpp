// IAGA-2002 files into TYPE 4 day files: the header records give the station's data, the
// column header line tells which element each column holds, and every data row adds its
// geographic components to the means of its minute of its UT day.
#include <array>
#include <cerrno>
#include <cmath>
#include <filesystem>
#include <map>
#include <numbers>
#include <string_view>
#include <system_error>
#include <vector>

#include "mox/Coordinates.h"
#include "mox/DayFileWriter.h"
#include "mox/Iaga2002.h"
#include "mox/LineReader.h"
#include "mox/rtl/IniFile.h"
#include "mox/rtl/StationRecord.h"
#include "mox/rtl/SysUtils.h"
#include "mox/rtl/TextFile.h"

namespace {

constexpr int kDayLength = 1440;
constexpr int kSeries = 4;  // Bx, By, Bz, B
const char* const kSeriesNames[kSeries] = {"Bx", "By", "Bz", "B"};
// 99999 marks a missing value, 88888 an element that is not recorded.
constexpr double kMissingFrom = 88888.0;
// Date, time, day of year and three blanks come before the values, each 10 characters wide.
constexpr std::size_t kValuesStart = 30;
constexpr std::size_t kValueWidth = 10;

enum class Horizontal { XY, HD, HE };

struct StationRecord {
    std::string code, station, source, latitude, longitude, dataType, intervalType;
};

// Sums and counts of one UT day, minute by minute, for the four series.
struct DayTables {
    std::vector<double> sum = std::vector<double>(kSeries * kDayLength, 0.0);
    std::vector<int> count = std::vector<int>(kSeries * kDayLength, 0);
    void Add(int series, int minute, double v)
    {
        if (std::isnan(v)) return;
        sum[series * kDayLength + minute] += v;
        ++count[series * kDayLength + minute];
    }
};

// Keys in any letter case and with any run of blanks: "IAGA Code" is "IAGA CODE".
std::string KeyOf(const std::string& text)
{
    std::string key;
    for (char c : UpperCase(Trim(text)))
        if (c != ' ' || (!key.empty() && key.back() != ' ')) key += c;
    return key;
}

std::vector<std::string_view> Words(std::string_view s)
{
    std::vector<std::string_view> words;
    std::size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
        const std::size_t start = i;
        while (i < s.size() && s[i] != ' ' && s[i] != '\t') ++i;
        if (i > start) words.push_back(s.substr(start, i - start));
    }
    return words;
}

bool Digits(std::string_view s, std::size_t from, std::size_t count, int& value)
{
    if (from + count > s.size()) return false;
    value = 0;
    for (std::size_t i = from; i < from + count; ++i) {
        if (s[i] < '0' || s[i] > '9') return false;
        value = value * 10 + (s[i] - '0');
    }
    return true;
}

class Iaga2002Parser {
public:
    explicit Iaga2002Parser(const std::string& file) : file(file) {}

    void Parse()
    {
        errno = 0;
        if (!in.Open(file))
            throw std::system_error(errno != 0 ? errno : EIO, std::generic_category(),
                                    "Datei kann nicht gelesen werden: " + file);
        const char* s;
        std::size_t n;
        bool cut;
        while (in.Next(s, n, cut)) {
            ++lineNumber;
            if (cut) Fail("die Zeile ist zu lang");
            const std::string_view line(s, n);
            if (line.find_first_not_of(" \t") == std::string_view::npos) continue;
            if (columns.empty()) HeaderLine(line);
            else DataRow(line);
        }
        if (columns.empty())
            Fail("die Spaltenzeile (DATE TIME DOY ...) fehlt: die Datei ist abgeschnitten oder "
                 "keine IAGA-2002-Datei");
        if (days.empty()) Fail("die Datei enthält keine Datenzeilen");
    }

    std::vector<std::string> Write(const std::string& outDir) const;

private:
    [[noreturn]] void Fail(const std::string& why) const
    {
        throw EConvertError(file + ", Zeile " + IntToStr(lineNumber) + ": " + why);
    }

    void HeaderLine(std::string_view raw)
    {
        const std::string line = DecodeLine(std::string(raw));
        if (line.rfind("DATE", 0) == 0) {
            ColumnLine(line);
            return;
        }
        if (line[0] != ' ') Fail("vor den Daten fehlt die Spaltenzeile (DATE TIME DOY ...)");
        const std::string body = Trim(line);
        if (body[0] == '#') return;  // comment record
        // Key in columns 2-24, value in 25-69, "|" in 70.
        std::string record = line;
        if (const std::size_t bar = record.rfind('|'); bar != std::string::npos && bar >= 24) record.erase(bar);
        const std::string key = KeyOf(record.substr(1, 23));
        const std::string value = record.size() > 24 ? Trim(record.substr(24)) : std::string();
        if (key == "IAGA CODE") station.code = UpperCase(value);
        else if (key == "STATION NAME") station.station = value;
        else if (key == "SOURCE OF DATA") station.source = value;
        else if (key == "GEODETIC LATITUDE") station.latitude = value;
        else if (key == "GEODETIC LONGITUDE") station.longitude = value;
        else if (key == "DATA TYPE") station.dataType = value;
        else if (key == "DATA INTERVAL TYPE") station.intervalType = value;
    }

    void ColumnLine(const std::string& line)
    {
        std::vector<std::string> names;
        for (std::string_view w : Words(line)) {
            std::string name(w);
            if (const std::size_t bar = name.find('|'); bar != std::string::npos) name.erase(bar);
            if (!name.empty()) names.push_back(UpperCase(name));
        }
        if (names.size() < 4 || names[0] != "DATE" || names[1] != "TIME" || names[2] != "DOY")
            Fail("die Spaltenzeile muss mit DATE TIME DOY beginnen");
        names.erase(names.begin(), names.begin() + 3);
        if (station.code.empty()) station.code = names[0].substr(0, 3);
        if (!IsValidIagaCode(station.code))
            Fail("'" + station.code + "' ist kein IAGA-Code aus drei Buchstaben oder Ziffern");

        std::string list;
        for (std::size_t i = 0; i < names.size(); ++i) {
            const std::string& name = names[i];
            // The element follows the code ("BOUH"); a column of another code still names its
            // element after three characters.
            const std::string element = name.compare(0, station.code.size(), station.code) == 0
                                            ? name.substr(station.code.size())
                                        : name.size() > 3 ? name.substr(3)
                                                          : name;
            list += (list.empty() ? "" : ", ") + element;
            if (element.size() == 1) column[static_cast<unsigned char>(element[0])] = int(i);
        }
        const auto has = [this](char e) { return column[static_cast<unsigned char>(e)] >= 0; };
        if (has('X') && has('Y')) horizontal = Horizontal::XY;
        else if (has('H') && has('D')) horizontal = Horizontal::HD;
        else if (has('H') && has('E')) horizontal = Horizontal::HE;
        else
            throw EConvertError(file + ": die Elemente " + list +
                                " enthalten keine waagrechten Komponenten (nötig: X und Y, H und D "
                                "oder H und E); die Datei wird nicht umgewandelt");
        columns = names;
    }

    void DataRow(std::string_view line)
    {
        const std::size_t count = columns.size();
        const std::size_t length = kValuesStart + count * kValueWidth;
        if (line.size() < length)
            Fail("die Zeile ist unvollständig (" + IntToStr(long(line.size())) + " statt " + IntToStr(long(length)) +
                 " Zeichen)");
        std::vector<std::string_view> words = Words(line);
        if (words.size() != 3 + count) {
            // Values as wide as their columns touch each other: cut by the columns instead.
            words = {line.substr(0, 10), line.substr(11, 12), line.substr(24, 3)};
            for (std::size_t i = 0; i < count; ++i)
                words.push_back(line.substr(kValuesStart + i * kValueWidth, kValueWidth));
        }
        int year, month, day, hour, minute, second;
        const std::string_view date = words[0], time = words[1];
        if (date.size() != 10 || date[4] != '-' || date[7] != '-' || !Digits(date, 0, 4, year) ||
            !Digits(date, 5, 2, month) || !Digits(date, 8, 2, day) || !IsValidDate(year, month, day))
            Fail("'" + std::string(date) + "' ist kein Datum der Form JJJJ-MM-TT");
        if (time.size() < 8 || time[2] != ':' || time[5] != ':' || !Digits(time, 0, 2, hour) ||
            !Digits(time, 3, 2, minute) || !Digits(time, 6, 2, second) || hour > 23 || minute > 59 || second > 60)
            Fail("'" + std::string(time) + "' ist keine Uhrzeit der Form hh:mm:ss.sss");

        std::vector<double> values(count);
        for (std::size_t i = 0; i < count; ++i) {
            const std::string_view w = words[3 + i];
            if (!TryParseDecimal(w.data(), w.size(), values[i]) || !std::isfinite(values[i]))
                Fail("'" + std::string(Trim(std::string(w))) + "' ist kein Zahlenwert");
        }
        const auto element = [&](char e) {
            const int c = column[static_cast<unsigned char>(e)];
            if (c < 0) return std::nan("");
            const double v = values[std::size_t(c)];
            return std::fabs(v) >= kMissingFrom ? std::nan("") : v;
        };

        double x, y;
        switch (horizontal) {
        case Horizontal::XY:
            x = element('X');
            y = element('Y');
            break;
        case Horizontal::HD: {
            // D in minutes of arc.
            const double h = element('H');
            const double d = element('D') / 60.0 * std::numbers::pi / 180.0;
            x = h * std::cos(d);
            y = h * std::sin(d);
            break;
        }
        default: {
            const double h = element('H');
            y = element('E');
            x = h * h >= y * y ? std::sqrt(h * h - y * y) : std::nan("");
            break;
        }
        }
        const double f = column['F'] >= 0 ? element('F') : element('S');
        DayTables& t = days[year * 10000 + month * 100 + day];
        const int m = hour * 60 + minute;
        t.Add(0, m, x);
        t.Add(1, m, y);
        t.Add(2, m, element('Z'));
        t.Add(3, m, f);
    }

    std::string file;
    LineReader in;
    long lineNumber = 0;
    StationRecord station;
    std::vector<std::string> columns;
    std::array<int, 256> column = [] {
        std::array<int, 256> a;
        a.fill(-1);
        return a;
    }();
    Horizontal horizontal = Horizontal::XY;
    std::map<int, DayTables> days;  // by yyyymmdd
};

// The station's position as the day files write it, when the file gives plausible degrees.
void SetPosition(const StationRecord& s, DayFileHeader& h)
{
    double lat = 0, lon = 0;
    const bool latOk = TryParseDecimal(s.latitude.data(), s.latitude.size(), lat) && IsPlausibleLatitude(lat);
    const bool lonOk = TryParseDecimal(s.longitude.data(), s.longitude.size(), lon) && IsPlausibleLongitude(lon);
    if (lonOk && lon > 180) lon -= 360;
    h.latitude = latOk ? FormatDegrees(std::fabs(lat)) + (lat < 0 ? "S" : "N") : s.latitude;
    h.longitude = lonOk ? FormatDegrees(std::fabs(lon)) + (lon < 0 ? "W" : "E") : s.longitude;
    h.locator = latOk && lonOk ? MaidenheadLocator(lat, lon) : std::string();
}

std::vector<std::string> Iaga2002Parser::Write(const std::string& outDir) const
{
    const std::string dir = IagaOutputFolder(outDir, file);
    DayFileHeader header;
    header.type = 4;
    header.description = "Bx, By, Bz, B";
    header.location = station.station;
    header.author = station.source;
    SetPosition(station, header);
    for (const std::string& part : {station.code, station.dataType, station.intervalType})
        if (!part.empty()) header.remarks += (header.remarks.empty() ? "" : ", ") + part;

    std::string code;
    for (char c : station.code) code += char(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    std::vector<std::string> written;
    for (const auto& [key, tables] : days) {
        const int year = key / 10000, month = key / 100 % 100, day = key % 100;
        header.date = FormatDateTime("dd.mm.yy", EncodeDate(year, month, day));
        std::vector<DayFileSection> sections(kSeries);
        for (int k = 0; k < kSeries; ++k) {
            sections[k].name = kSeriesNames[k];
            for (int m = 0; m < kDayLength; ++m) {
                const int i = k * kDayLength + m;
                if (tables.count[i] > 0) sections[k].minutes[m] = RoundHalfEven(tables.sum[i] / tables.count[i]);
            }
        }
        const std::string path = dir + code + IntToStr(key) + ".mox";
        TextWriter out;
        OpenForWriting(out, path);
        WriteDayFile(out, header, sections);
        CommitOrRaise(out);
        written.push_back(path);
    }
    return written;
}

}  // namespace

bool IsValidIagaCode(const std::string& code)
{
    if (code.size() != 3) return false;
    for (char c : code)
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))) return false;
    return true;
}

std::string SettingsIagaCode(const TIniFile& ini, std::string& problem)
{
    const std::string code = ini.ReadString("IAGA", "Code", "");
    if (IsValidIagaCode(code)) return code;
    problem = code.empty() ? "kein IAGA-Code: \"Code\" im Abschnitt [IAGA] von " + ini.FileName() + " fehlt"
                           : "der Code '" + code + "' im Abschnitt [IAGA] von " + ini.FileName() +
                                 " ist kein IAGA-Code aus drei Buchstaben oder Ziffern";
    return {};
}

std::string FolderIagaCode(const std::string& folder, const TIniFile& local, std::string& problem)
{
    const std::string record = RecordSettingsFor(folder, "");
    if (record.empty()) return SettingsIagaCode(local, problem);
    const std::string code = SettingsIagaCode(TIniFile(record), problem);
    if (code.empty())
        problem = "kein gültiger IAGA-Code in den Stationsdaten " + record +
                  " (die Station übermittelt sie aus ihren Einstellungen, den Code aus \"Code\" im Abschnitt [IAGA])";
    return code;
}

std::string IagaOutputFolder(const std::string& outDir, const std::string& input)
{
    if (outDir.empty()) return ExtractFilePath(input);
    std::error_code ec;
    std::filesystem::create_directories(outDir, ec);
    if (ec) throw std::system_error(ec, "Ordner kann nicht angelegt werden: " + outDir);
    return outDir.back() == '/' ? outDir : outDir + '/';
}

std::vector<std::string> ImportIaga2002(const std::string& file, const std::string& outDir)
{
    Iaga2002Parser parser(file);
    parser.Parse();
    return parser.Write(outDir);
}
