#pragma once
// A diagram loaded from hand-made day files, with the formats a batch leaves behind.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "../../support/DayFiles.h"
#include "../../support/TempDir.h"
#include "mox/Mm.h"
#include "mox/rtl/SysUtils.h"
#include "station/app/BatchFiles.h"
#include "station/app/WebPages.h"

using Readings = std::function<double(int minute)>;

// Readings up to and including `newest` (a minute of the day), NaN after it.
inline Readings Until(int newest, const Readings& f)
{
    return [=](int minute) { return minute > newest ? NAN : f(minute); };
}

inline Readings Constant(double v)
{
    return [=](int) { return v; };
}

inline std::string CrLfLines(std::initializer_list<std::string> lines)
{
    std::string s;
    for (const std::string& l : lines) s += l + "\r\n";
    return s;
}

class WebTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        saved = FormatSettings();
        // What the batch's loading and the first drawing leave set.
        FormatSettings().ShortDateFormat = "dd.mm.yy";
        FormatSettings().LongTimeFormat = "hh:mm";
        FormatSettings().DateSeparator = '.';
        FormatSettings().TimeSeparator = ':';
        d.set_Ort("Lüneburg");
        d.set_Laenge("10.4 E");
        d.set_Breite("53.2 N");
        d.set_Bemerkung("Garten");
        d.set_Alarm_limit(4);
    }
    void TearDown() override { FormatSettings() = saved; }

    // One-sensor day of component `component` ("Bx", "By", "Bz") into `curve`.
    void LoadOne(int curve, const Readings& f, const std::string& component = "Bz",
                 const std::string& date = "15.06.03")
    {
        const std::string file = dir / (date + "-" + std::to_string(curve) + ".mox");
        WriteBytes(file, DayFileText({{component, Minutes(f)}}, date));
        d.LoadData(file, 0, curve);
    }

    // Two-sensor day: the first component into `curve1`, the second into `curve2`.
    void LoadTwo(int curve1, const Readings& f1, int curve2, const Readings& f2, const std::string& date = "15.06.03",
                 const std::string& c1 = "Bx", const std::string& c2 = "By")
    {
        const std::string file = dir / (date + "-" + std::to_string(curve1) + ".mox");
        WriteBytes(file, DayFileText({{c1, Minutes(f1)}, {c2, Minutes(f2)}}, date));
        auto selector = [](const std::string& c) { return c == "Bx" ? 1 : c == "By" ? 2 : 3; };
        d.LoadData(file, selector(c1), curve1);
        d.LoadData(file, selector(c2), curve2);
    }

    // The files as the batch publishes them: staged, then put in place.
    bool PublishWap(bool withPreviousDay, const std::string& name)
    {
        BatchFiles files;
        const bool staged = WriteWapFiles(d, withPreviousDay, name, files);
        return files.Publish().empty() && staged;
    }
    bool PublishPage(bool withPreviousDay, const std::string& imageDir, const std::string& name)
    {
        BatchFiles files;
        const bool staged = WriteHtmlPage(d, withPreviousDay, imageDir, name, files);
        return files.Publish().empty() && staged;
    }

    TempDir dir;
    TMOX_Diagram d;
    TFormatSettings saved;
};
