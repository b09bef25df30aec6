// The diagram component: construction, defaults, readings and per-curve settings.
#include <cmath>
#include <limits>

#include "mox/Bitmaps.h"
#include "mox/Mm.h"
#include "mox/StationRecord.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

}  // namespace

TMOX_Diagram::TMOX_Diagram(TComponent* AOwner) : TComponent(AOwner)
{
    MOX_Image = nullptr;
    Logo = MakeLogoBitmap();
    Farbbalken = MakeColourStripBitmap();
    set_default_values();
    reset_Diagram();
}

TMOX_Diagram::~TMOX_Diagram()
{
    delete Farbbalken;
    delete Logo;
}

void TMOX_Diagram::set_default_values()
{
    // The placeholder record until the host reads the station's own.
    MOX_Titel = std::string("MOX - ") + placeholder::kOrt;
    MOX_Ort = placeholder::kOrt;
    MOX_Laenge = placeholder::kLaenge;
    MOX_Breite = placeholder::kBreite;
    MOX_Locator = placeholder::kLocator;
    MOX_Owner = placeholder::kAutor;
    MOX_Bemerkung.clear();
    Legende_auto = true;
    Legende_Datum = true;
    Legende_Rem = false;
    Legende_Stil = legBETREIBER_ORT;
    reset_Colors();
    Legende1.clear();
    Legende2.clear();
    Legende3.clear();
    Legende4.clear();
    K_Farbbalken = true;
    K_display = true;
    K_display_all = true;
    for (int n = 0; n <= 8; ++n) limit(n) = DefaultKLimits[n];
    for (bool& on : is_K_curve) on = true;
    MOX_1sensor = vecBy;
    Alarm = true;
    Alarmschwelle = 90;
    AutoScale = false;
    Offsetfilter_limit = 50;
}

void TMOX_Diagram::reset_Colors()
{
    Color1 = 0x0000FF;
    Color2 = 0x800000;
    Color3 = 0x008000;
    Color4 = 0x000000;
    ColorBk = 0xFFFFFF;
    ColorText = 0x404040;
}

void TMOX_Diagram::reset_Diagram()
{
    for (bool& l : loaded) l = false;
    reset_K_index();
}

bool TMOX_Diagram::is_loaded(int curve) const { return is_valid_curve(curve) && loaded[curve - 1]; }

bool TMOX_Diagram::is_empty() const
{
    for (bool l : loaded)
        if (l) return false;
    return true;
}

void TMOX_Diagram::DelCurve(int curve)
{
    if (!is_valid_curve(curve)) return;
    for (double& v : data[curve - 1]) v = 0.0;
    loaded[curve - 1] = false;
}

double TMOX_Diagram::get_data(int curve, int index) const
{
    if (!is_loaded(curve) || index < 1 || index > DayLength) return kNaN;
    return reading(curve, index);
}

void TMOX_Diagram::set_data(int curve, int index, double value)
{
    if (!is_loaded(curve) || index < 1 || index > DayLength) return;
    reading(curve, index) = value;
}

int TMOX_Diagram::get_data_count(int curve) const
{
    if (!is_loaded(curve)) return 0;
    int n = 0;
    for (double v : data[curve - 1])
        if (!std::isnan(v)) ++n;
    return n;
}

void TMOX_Diagram::get_Min_Max(int curve, double& min, double& max) const
{
    if (!is_valid_curve(curve)) return;
    min = max = kNaN;
    if (!loaded[curve - 1]) return;
    for (double v : data[curve - 1]) {
        if (std::isnan(v)) continue;
        if (std::isnan(min)) {
            min = max = v;
        } else {
            if (v > max) max = v;
            if (v < min) min = v;
        }
    }
}

MOX_Header TMOX_Diagram::get_Header(int curve) const
{
    return is_valid_curve(curve) ? Header[curve - 1] : MOX_Header{};
}

void TMOX_Diagram::set_Offset(int curve, int offset)
{
    if (is_valid_curve(curve)) Offset[curve - 1] = offset;
}

int TMOX_Diagram::get_Offset(int curve) const { return is_valid_curve(curve) ? Offset[curve - 1] : 0; }

double TMOX_Diagram::get_last_time(int curve) const { return is_valid_curve(curve) ? last_time[curve - 1] : 0.0; }

void TMOX_Diagram::set_Legende(int curve, const std::string& text)
{
    switch (curve) {
    case 1: Legende1 = text; break;
    case 2: Legende2 = text; break;
    case 3: Legende3 = text; break;
    case 4: Legende4 = text; break;
    default: break;
    }
}

std::string TMOX_Diagram::get_Legende(int curve) const
{
    switch (curve) {
    case 1: return Legende1;
    case 2: return Legende2;
    case 3: return Legende3;
    case 4: return Legende4;
    default: return {};
    }
}

void TMOX_Diagram::set_Color(int curve, TColor color)
{
    switch (curve) {
    case 1: Color1 = color; break;
    case 2: Color2 = color; break;
    case 3: Color3 = color; break;
    case 4: Color4 = color; break;
    default: break;
    }
}

TColor TMOX_Diagram::get_Color(int curve) const
{
    switch (curve) {
    case 1: return Color1;
    case 2: return Color2;
    case 3: return Color3;
    case 4: return Color4;
    default: return 0;
    }
}

void TMOX_Diagram::set_1sensor_vec(MOX_Vector_Typ v)
{
    // A one-sensor device measures one component, never the total field.
    if (v == vecBx || v == vecBy || v == vecBz) MOX_1sensor = v;
}
