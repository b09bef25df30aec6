// Loading a whole day by file name: a raw log is converted first, the day file's TYPE decides
// which curves get which components, and the previous day can go beside it, shifted so that
// the day starts where the previous one ended.
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <filesystem>
#include <system_error>

#include "mox/Mm.h"
#include "mox/rtl/SysUtils.h"
#include "mox/rtl/TextFile.h"

namespace {

// The first line of the file that contains `key`; false if there is none.
bool FindLine(TextReader& in, const char* key, std::string& line)
{
    while (in.ReadLine(line))
        if (line.find(key) != std::string::npos) return true;
    return false;
}

// Curve t continues curve p (the same component of the day before): t is shifted by the
// jump between p's last reading of the day (23:59) and its first, whole nT toward zero;
// without a reading at 23:59 there is nothing to continue from.
void SetContinuityOffset(TMOX_Diagram& d, int t, int p)
{
    double first = std::nan("");
    for (int i = 1; i <= TMOX_Diagram::DayLength && std::isnan(first); ++i) first = d.get_data(p, i);
    const double jump = d.get_data(p, TMOX_Diagram::DayLength) - first;
    int offset = 0;
    if (std::isfinite(jump)) offset = int(std::trunc(std::clamp<double>(jump, INT_MIN, INT_MAX)));
    d.set_Offset(p, 0);
    d.set_Offset(t, offset);
}

// The day file beside the raw log `base`.txt exists and is newer than the log.
bool DayFileUpToDate(const std::string& base)
{
    std::error_code ec;
    const auto mox = std::filesystem::last_write_time(base + ".mox", ec);
    if (ec) return false;
    const auto log = std::filesystem::last_write_time(base + ".txt", ec);
    return !ec && log < mox;
}

}  // namespace

void TMOX_Diagram::AutoLoad(const std::string& FileName, bool with_previous_day)
{
    if (!FileExists(FileName)) return;
    Convert(FileName);
    if (FileName.size() < 4 || FileName.find('/', FileName.size() - 4) != std::string::npos) return;
    // A day file given in other letter case is that file itself: names are case-sensitive here.
    const std::string day = SameText(FileName.substr(FileName.size() - 4), ".mox")
                                ? FileName
                                : FileName.substr(0, FileName.size() - 4) + ".mox";

    std::string line;
    {
        TextReader in;
        if (!in.Open(day) || !FindLine(in, "TYPE:", line)) return;
    }
    const int type = StrToInt(line.substr(5));

    // The previous day's file in the same folder, named by the date in this day's header; a
    // raw log of that day is converted first when its day file is missing or older than it.
    // Empty if there is none: a day file older than its log (its conversion failed, on a full
    // medium say) would show a day that stops early.
    auto previousDay = [&]() -> std::string {
        const std::string p = ExtractFilePath(FileName) + FormatDateTime("yyyymmdd", Header[0].Date - 1);
        if (!FileExists(p + ".txt")) return FileExists(p + ".mox") ? p + ".mox" : std::string();
        if (!DayFileUpToDate(p)) {
            try {
                Convert(p + ".txt");
            } catch (const std::exception&) {
                return {};
            }
        }
        return DayFileUpToDate(p) ? p + ".mox" : std::string();
    };

    switch (type) {
    case 1:
        if (!with_previous_day) {
            LoadData(day, 0, 1);
            set_Offset(1, 0);
            break;
        }
        LoadHeader(day, 1, 0);
        LoadData(day, 0, 2);
        if (const std::string previous = previousDay(); !previous.empty()) {
            LoadData(previous, 0, 1);
            SetContinuityOffset(*this, 2, 1);
        } else {
            set_Offset(1, 0);
            set_Offset(2, 0);
        }
        break;
    case 2: {
        // The two components in the order Bx, By, Bz, whatever order the file names them in.
        TextReader in;
        if (!in.Open(day))
            throw std::system_error(errno, std::generic_category(), "Datei kann nicht gelesen werden: " + day);
        if (!FindLine(in, "TYPEDESCRIPTION:", line)) return;
        in.Close();
        bool hasBx = line.find("Bx") != std::string::npos;
        bool hasBy = line.find("By") != std::string::npos;
        const int a = hasBx ? 1 : hasBy ? 2 : 3;
        if (a == 1) hasBx = false;
        else if (a == 2) hasBy = false;
        const int b = hasBy ? 2 : 3;

        if (!with_previous_day) {
            LoadData(day, a, 1);
            LoadData(day, b, 2);
            set_Offset(1, 0);
            set_Offset(2, 0);
            break;
        }
        LoadHeader(day, 1, 1);
        LoadData(day, a, 2);
        LoadData(day, b, 4);
        if (const std::string previous = previousDay(); !previous.empty()) {
            LoadData(previous, a, 1);
            SetContinuityOffset(*this, 2, 1);
            LoadData(previous, b, 3);
            SetContinuityOffset(*this, 4, 3);
        } else {
            set_Offset(1, 0);
            set_Offset(2, 0);
            set_Offset(4, 0);
        }
        break;
    }
    case 4:
        // Four series of one day; there is no previous day to put beside them.
        for (int k = 1; k <= 4; ++k) {
            LoadData(day, k, k);
            set_Offset(k, 0);
        }
        break;
    default: break;
    }
}
