#include "station/app/CurveText.h"

#include <cmath>
#include <cstdio>

#include "mox/Mm.h"
#include "mox/rtl/SysUtils.h"

std::vector<std::string> HeaderBlock(const TMOX_Diagram& diagram, int curve, const std::string& coordSeparator)
{
    if (!diagram.is_loaded(curve)) return {};
    const MOX_Header h = diagram.get_Header(curve);
    static const char* const vectors[] = {"Bx", "By", "Bz", "B"};
    std::string coords = "Koordinaten: " + h.Longitude + coordSeparator + h.Latitude;
    if (!h.Locator.empty()) coords += " (" + h.Locator + ")";
    std::vector<std::string> lines = {
        "Kurve Nr. " + IntToStr(curve) + ":",
        "",
        "Filename: " + h.FileName,
        "Datum: " + DateToStr(h.Date),
        "Datei enthält " + IntToStr(h.Vectors) + " Vektor(en) (" + h.TypeDescription + ")",
        std::string("geladener Vektor: ") + (h.Vector <= vecB ? vectors[h.Vector] : "?"),
        "Standort: " + h.Location,
        coords,
        "Betreiber: " + h.Author,
    };
    if (!h.Remarks.empty()) lines.push_back("Bemerkung: " + h.Remarks);
    lines.push_back("");
    return lines;
}

std::string KRow(const int (&values)[8])
{
    std::string row;
    for (int v : values) row += v < 0 ? "- " : IntToStr(v) + " ";
    return row;
}
