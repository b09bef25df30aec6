// Drawing the magnetogram into the bound image: frame, scales, curves, legend, title, K index,
// alarm marks and logo, and the scale factors that turn pixels back into time and field.
#include <algorithm>
#include <cmath>
#include <string>

#include "mox/Mm.h"
#include "mox/rtl/Graphics.h"
#include "mox/rtl/SysUtils.h"

namespace {

constexpr int kPlotLeft = 45;     // first column of the time axis
constexpr int kRightMargin = 20;  // right frame line at W - 20
constexpr int kTopMargin = 25;
constexpr int kBottomMargin = 30;
constexpr int kLegendPitch = 13;  // rows between legend lines and between K rows
constexpr int kKRowTop = 29;

constexpr TColor kFrameColour = RGBColor(64, 64, 64);
constexpr TColor kGridColour = RGBColor(160, 160, 160);
constexpr TColor kAlarmColour = RGBColor(255, 0, 0);
constexpr TColor kBlack = RGBColor(0, 0, 0);
constexpr TColor kWhite = RGBColor(255, 255, 255);

// Rows of the colour strip: red, yellow, green, five rows each.
constexpr int kStripeRows = 5;

int rnd(double v) { return int(RoundHalfEven(v)); }

// Pixels covered by a number of minutes on the time axis of an image W wide, i.e. minutes *
// x_scale, with a single rounding: exact whole and half pixels stay exact.
double span(int W, double minutes) { return minutes * double(W - kPlotLeft - kRightMargin) / 1440.0; }

// Truncation toward zero, kept representable for readings far outside the frame.
int trunc_px(double v)
{
    if (std::isnan(v)) return 0;
    return int(std::trunc(std::clamp(v, -1e9, 1e9)));
}

struct YScale {
    int range;
    int step;
};

YScale scale_of(MOX_y_scale_Typ s)
{
    switch (s) {
    case scale60: return {120, 20};
    case scale100: return {200, 20};
    case scale150: return {300, 50};
    case scale200: return {400, 50};
    case scale250: return {500, 50};
    case scale500: return {1000, 100};
    case scale1000: return {2000, 200};
    }
    return {120, 20};
}

// White text colour switches the drawing to an overlay over what the picture holds.
bool is_overlay(TColor text) { return (text & 0xFFFFFF) == kWhite; }

std::size_t char_count(const std::string& utf8)
{
    return std::size_t(std::count_if(utf8.begin(), utf8.end(),
                                     [](char ch) { return (static_cast<unsigned char>(ch) & 0xC0) != 0x80; }));
}

}  // namespace

void TMOX_Diagram::ShowDiagram(int range, int step)
{
    if (!MOX_Image) return;
    if (range <= 0 || step <= 0) {
        range = 120;
        step = 20;
    }
    TBitmap& picture = MOX_Image->Picture;
    TCanvas& cv = picture.Canvas;
    const int W = MOX_Image->ClientWidth();
    const int H = MOX_Image->ClientHeight();
    const bool overlay = is_overlay(ColorText);

    cv.Font.Name = "Arial";
    cv.Font.Color = kFrameColour;
    cv.Font.Size = 8;
    cv.Font.Bold = false;
    cv.Pen.Width = 1;
    cv.Pen.Style = psSolid;
    cv.Brush.Color = ColorBk;
    if (!overlay) cv.FillRect(Rect(0, 0, picture.Width(), picture.Height()));

    x_scale = (W - kPlotLeft - kRightMargin) / 1440.0;
    y_scale = (H - kTopMargin - kBottomMargin) / double(range);

    // Value scale from the centre line outwards; the last row labelled is the top frame row.
    // Row k (k steps above the centre) is worked out from whole numbers, not summed up step by
    // step, so that halves round the same way at every size.
    const double pixelStep = step * y_scale;
    auto row_of = [&](long long k) { return H / 2 - double(k) * step * (H - kTopMargin - kBottomMargin) / range; };
    long long k = 0;
    // An image too small for the frame has no scale to walk (and the walk would not end).
    if (pixelStep > 0.0 && (H / 2 - kTopMargin) / pixelStep < 100000.0) {
        for (; row_of(k) > kTopMargin; ++k) {
            if (overlay) continue;
            const int e = rnd(row_of(k));
            const long long v = k * step;
            cv.Pen.Style = psSolid;
            cv.Pen.Color = kFrameColour;
            cv.MoveTo(42, e);
            cv.LineTo(48, e);
            if (v != 0) {
                cv.MoveTo(42, H - e);
                cv.LineTo(48, H - e);
                cv.Pen.Style = psDot;
                cv.Pen.Color = kGridColour;
                cv.MoveTo(48, e);
                cv.LineTo(W - kRightMargin, e);
                cv.MoveTo(48, H - e);
                cv.LineTo(W - kRightMargin, H - e);
            }
            cv.Pen.Style = psSolid;
            cv.Pen.Color = kFrameColour;
            cv.TextOut(8, e - 7, IntToStr(v));
            cv.TextOut(8, H - e - 7, IntToStr(-v));
        }
    }
    const int top = k > 0 ? rnd(row_of(k - 1)) : H / 2;

    cv.Pen.Style = psSolid;
    cv.Pen.Color = kFrameColour;
    cv.MoveTo(kPlotLeft, top);
    cv.LineTo(W - kRightMargin + 1, top);
    time_axis_y = H - rnd(row_of(k - 1));

    // Every later time text of the process reads hours and minutes only.
    FormatSettings().LongTimeFormat = "hh:mm";

    // Hour h sits at 45 + h * 60 * x_scale. Taken from the hour rather than summed up hour by
    // hour, so that rounding never drops the 24:00 line, the right edge of the frame.
    if (!overlay && x_scale > 0.0) {
        for (int hour = 0; hour <= 24; ++hour) {
            const int xi = rnd(kPlotLeft + span(W, hour * 60));
            cv.Pen.Style = psSolid;
            cv.Pen.Color = kFrameColour;
            if (hour % 3 == 0) {
                cv.MoveTo(xi, time_axis_y + 5);
                cv.LineTo(xi, 27);
                if (xi != kPlotLeft) cv.TextOut(xi - 15, time_axis_y + 5, FormatDateTime("hh:mm", hour / 24.0));
            } else {
                cv.MoveTo(xi, time_axis_y + 3);
                cv.LineTo(xi, time_axis_y - 3);
                cv.Pen.Style = psDot;
                cv.Pen.Color = kGridColour;
                cv.LineTo(xi, 28);
            }
        }
    }

    cv.Pen.Style = psSolid;
    cv.Pen.Color = kFrameColour;
    if (!overlay) {
        cv.MoveTo(kPlotLeft, time_axis_y);
        cv.LineTo(W - kRightMargin + 1, time_axis_y);
        cv.MoveTo(kPlotLeft, H / 2);
        cv.LineTo(W - kRightMargin + 1, H / 2);
        cv.Font.Bold = true;
        cv.TextOut(15, 5, "nT");
        cv.TextOut(kPlotLeft, time_axis_y + 5, "UTC");
        cv.Font.Bold = false;
        if (Logo) {
            cv.CopyMode = cmSrcAnd;
            cv.Draw(W - Logo->Width() - kRightMargin, time_axis_y - Logo->Height() - 5, *Logo);
        }
    }
}

void TMOX_Diagram::ShowMagnetogramm()
{
    if (!MOX_Image) return;

    // Each curve is drawn around its own first reading; the widest swing sets the scale.
    double ref[CurveCount] = {};
    bool drawable[CurveCount] = {};
    double dev = 0.0;
    for (int c = 1; c <= CurveCount; ++c) {
        if (!loaded[c - 1]) continue;
        const int offset = Offset[c - 1];
        for (int i = 1; i <= DayLength; ++i) {
            const double value = reading(c, i);
            if (std::isnan(value)) continue;
            if (!drawable[c - 1]) {
                drawable[c - 1] = true;
                ref[c - 1] = std::trunc(value);
            }
            dev = std::max(dev, std::fabs(std::trunc(value) - ref[c - 1] + offset));
        }
    }

    YScale scale = scale_of(Y_Skalierung);
    if (AutoScale && scale.range / 2 < dev) {
        if (dev > 60) scale = {200, 20};
        if (dev > 100) scale = {300, 50};
        if (dev > 150) scale = {400, 50};
        if (dev > 200) scale = {500, 50};
        if (dev > 250) scale = {1000, 100};
        if (dev > 500) scale = {2000, 200};
    }

    ShowDiagram(scale.range, scale.step);

    TCanvas& cv = MOX_Image->Picture.Canvas;
    const int W = MOX_Image->ClientWidth();
    const int H = MOX_Image->ClientHeight();
    auto column = [W](int index) { return kPlotLeft + trunc_px(span(W, index)); };

    const int penWidth = cv.Pen.Width;
    cv.Pen.Width = 2;
    cv.Font.Color = kFrameColour;

    // A fast change over ten minutes marks the 21 minutes from one before it, just below the
    // time axis; the readings the mark covers are not tested again.
    if (Alarm) {
        const double threshold = get_Alarm_threshold();
        cv.Pen.Color = kAlarmColour;
        cv.Brush.Color = kAlarmColour;
        for (int c = 1; c <= CurveCount; ++c) {
            if (!of_current_day(c - 1)) continue;
            int i = 11;
            while (i <= DayLength) {
                const double now = reading(c, i), before = reading(c, i - 10);
                if (!std::isnan(now) && !std::isnan(before) && std::fabs(now - before) >= threshold) {
                    cv.Rectangle(column(i - 1), time_axis_y + 4, column(i + 19), time_axis_y + 8);
                    i += 22;
                } else {
                    ++i;
                }
            }
        }
        cv.Pen.Color = kBlack;
        cv.Brush.Color = ColorBk;
    }

    for (int c = 1; c <= CurveCount; ++c) {
        if (!drawable[c - 1]) continue;
        const TColor colour = get_Color(c);
        const double shift = Offset[c - 1] - ref[c - 1];
        cv.Pen.Color = colour;
        bool penDown = false;
        for (int i = 1; i <= DayLength; ++i) {
            const double value = reading(c, i);
            if (std::isnan(value)) {
                penDown = false;
                continue;
            }
            const int x = column(i - 1);
            const int yy = H / 2 - trunc_px((value + shift) * y_scale);
            if (penDown) {
                cv.LineTo(x, yy);
            } else {
                cv.SetPixel(x, yy, colour);
                cv.MoveTo(x, yy);
                penDown = true;
            }
        }
    }

    int count = 0;
    for (bool l : loaded) count += l ? 1 : 0;
    int rank = 0;
    for (int c = 1; c <= CurveCount; ++c) {
        if (!loaded[c - 1]) continue;
        ++rank;
        const int y = time_axis_y - (count + 1 - rank) * kLegendPitch;
        cv.Pen.Color = get_Color(c);
        cv.Pen.Width = 3;
        cv.MoveTo(50, y + 3);
        cv.LineTo(51, y + 3);
        cv.Pen.Width = penWidth;
        cv.Pen.Color = kBlack;
        const std::string text = Legende_auto ? generate_legend(c) : get_Legende(c);
        if (!text.empty()) {
            cv.Font.Size = 8;
            cv.Font.Bold = false;
            cv.Font.Color = kFrameColour;
            cv.TextOut(56, y - 5, text);
        }
    }
    cv.Pen.Width = penWidth;

    if (!MOX_Titel.empty()) {
        const int fontSize = cv.Font.Size;
        cv.Font.Bold = true;
        cv.Font.Size = 10;
        const std::string title = generate_title(MOX_Titel);
        cv.TextOut(W / 2 - 3 * int(char_count(title)), 5, title);
        cv.Font.Bold = false;
        cv.Font.Size = fontSize;
    }

    if (K_display) {
        const int fontSize = cv.Font.Size;
        const TColor fontColour = cv.Font.Color;
        cv.Font.Size = 9;
        const int kw = rnd(span(W, 180));
        const int ks = rnd(span(W, 105)) - 45;
        auto label_row = [&](int y, auto value_of) {
            for (int k = 1; k <= BlockCount; ++k) {
                const int value = value_of(k);
                if (value >= 0) cv.TextOut(k * kw - ks - 3, y, "K " + IntToStr(value));
            }
        };
        if (K_display_all) {
            for (int c = 1; c <= CurveCount; ++c) {
                if (!loaded[c - 1]) continue;
                cv.Font.Color = get_Color(c);
                label_row(kKRowTop + kLegendPitch * (c - 1), [&](int k) { return get_K_Curve(c, k); });
            }
        } else {
            cv.Font.Color = Color1;
            label_row(kKRowTop, [&](int k) { return get_K_index(k); });
        }
        cv.Font.Bold = false;
        cv.Font.Size = fontSize;
        cv.Font.Color = fontColour;

        if (K_Farbbalken && Farbbalken) {
            const int sourceWidth = rnd(span(W, 180)) + 1;
            for (int k = 1; k <= BlockCount; ++k) {
                const int value = get_K_index(k);
                if (value < 0) continue;
                const int stripe = value <= 3 ? 2 : value <= 5 ? 1 : 0;
                cv.CopyMode = cmSrcCopy;
                cv.CopyRect(Rect(46 + rnd(span(W, (k - 1) * 180)), time_axis_y - 6, 45 + rnd(span(W, k * 180)),
                                 time_axis_y - 2),
                            Farbbalken->Canvas, Rect(0, stripe * kStripeRows, sourceWidth, (stripe + 1) * kStripeRows));
            }
        }
    }
}

std::string TMOX_Diagram::generate_title(const std::string& Template) const
{
    ShortDateFormatScope dateFormat("dd.mm.yyyy");
    std::string title = Template;

    // Replaces the first occurrence; a placeholder whose condition fails simply disappears.
    auto expand = [&title](const std::string& placeholder, bool available, auto value_of) {
        const std::size_t at = title.find(placeholder);
        if (at == std::string::npos) return;
        title.erase(at, placeholder.size());
        if (available) title.insert(at, value_of());
    };
    auto numbered = [](const char* name, int n) { return "$" + std::string(name) + IntToStr(n) + "$"; };
    auto header = [this](int n) -> const MOX_Header& { return Header[n - 1]; };

    for (const char* name : {"$UHRZEIT$", "$TIME$"}) expand(name, true, [] { return TimeToStr(Now()); });
    for (int n = 1; n <= CurveCount; ++n)
        for (const char* name : {"UHRZEIT", "TIME"})
            expand(numbered(name, n), is_loaded(n), [&] { return TimeToStr(get_last_time(n)); });

    for (const char* name : {"$DATUM$", "$DATE$"}) expand(name, true, [] { return DateToStr(Date()); });
    for (int n = 1; n <= CurveCount; ++n)
        for (const char* name : {"DATUM", "DATE"})
            expand(numbered(name, n), is_loaded(n), [&] { return DateToStr(header(n).Date); });

    for (const char* name : {"$ORT$", "$LOCATION$"}) expand(name, true, [this] { return MOX_Ort; });
    for (int n = 1; n <= CurveCount; ++n)
        for (const char* name : {"ORT", "LOCATION"})
            expand(numbered(name, n), is_loaded(n), [&] { return header(n).Location; });

    // Names and locators may stand twice in a title, e.g. for two stations.
    for (int twice = 0; twice < 2; ++twice) expand("$NAME$", true, [this] { return MOX_Owner; });
    for (int n = 1; n <= CurveCount; ++n)
        for (int twice = 0; twice < 2; ++twice)
            expand(numbered("NAME", n), is_loaded(n), [&] { return header(n).Author; });

    for (int n = 1; n <= CurveCount; ++n)
        for (const char* name : {"BEMERKUNG", "REMARK"})
            expand(numbered(name, n), is_loaded(n), [&] { return header(n).Remarks; });

    for (int twice = 0; twice < 2; ++twice) expand("$LOCATOR$", true, [this] { return MOX_Locator; });
    for (int n = 1; n <= CurveCount; ++n)
        for (int twice = 0; twice < 2; ++twice)
            expand(numbered("LOCATOR", n), is_loaded(n), [&] { return header(n).Locator; });

    for (const char* name : {"$KOORD$", "$COORD$"})
        expand(name, true, [this] { return MOX_Laenge + ", " + MOX_Breite; });
    for (int n = 1; n <= CurveCount; ++n)
        for (const char* name : {"KOORD", "COORD"})
            expand(numbered(name, n), is_loaded(n), [&] { return header(n).Longitude + ", " + header(n).Latitude; });

    return title;
}

std::string TMOX_Diagram::generate_legend(int curve) const
{
    if (!is_valid_curve(curve)) return {};
    const MOX_Header& h = Header[curve - 1];
    std::string text;
    switch (h.Vector) {
    case vecBx: text = "Bx: "; break;
    case vecBy: text = "By: "; break;
    case vecBz: text = "Bz: "; break;
    default: text = "B:   "; break;
    }
    if (Legende_Datum) text += DateToStr(h.Date) + ", ";

    const std::string& A = h.Author;
    const std::string& L = h.Location;
    const std::string& Loc = h.Locator;
    const std::string coords = h.Longitude + ", " + h.Latitude;
    switch (Legende_Stil) {
    case legBETREIBER: text += A; break;
    case legBETREIBER_ORT: text += A + ", " + L; break;
    case legBETREIBER_ORT_LOCATOR: text += A + ", " + L + ", " + Loc; break;
    case legBETREIBER_ORT_KOORD: text += A + ", " + L + ", " + coords; break;
    case legORT: text += L; break;
    case legORT_LOCATOR: text += L + ", " + Loc; break;
    case legORT_KOORD: text += L + ", " + coords; break;
    case legLOCATOR: text += Loc; break;
    case legKOORD: text += coords; break;
    }

    if (Legende_Rem && !h.Remarks.empty()) text += ", " + h.Remarks;
    return text;
}
