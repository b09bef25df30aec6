#pragma once
// The diagram component: one magnetogram of up to four day curves (one reading per minute),
// with the header of the file each curve came from, the display and filter settings and the
// K index worked out from the curves. Hosts change it only through its operations.
#include <cstdint>
#include <string>

#include "mox/rtl/Classes.h"
#include "mox/rtl/Graphics.h"
#include "mox/rtl/Types.h"

class TBitmap;
class TImage;

enum MOX_Vector_Typ : std::uint8_t { vecBx, vecBy, vecBz, vecB };

enum MOX_Legende_Typ : std::uint8_t {
    legBETREIBER,
    legBETREIBER_ORT,
    legBETREIBER_ORT_LOCATOR,
    legBETREIBER_ORT_KOORD,
    legORT,
    legORT_LOCATOR,
    legORT_KOORD,
    legLOCATOR,
    legKOORD
};

enum MOX_y_scale_Typ : std::uint8_t { scale60, scale100, scale150, scale200, scale250, scale500, scale1000 };

// Header of the data file a curve came from. Vector 255 means "no component".
struct MOX_Header {
    std::string FileName;
    std::int32_t Type = 0;
    std::string TypeDescription;
    std::int32_t Vectors = 0;
    std::uint8_t Vector = 0;
    std::string Name1;
    std::string Name2;
    TDateTime Date = 0.0;
    std::string Location;
    std::string Latitude;
    std::string Longitude;
    std::string Locator;
    std::string Author;
    std::string Remarks;
    bool is_korr_file = false;
};

struct RawLogOptions;

class TMOX_Diagram : public TComponent {
public:
    static constexpr int CurveCount = 4;
    static constexpr int DayLength = 1440;  // readings per curve, index 1..1440
    static constexpr int BlockCount = 8;    // three-hour blocks of the K index
    // Upper limits of the K classes 0..8 in nT of a new station.
    static constexpr int DefaultKLimits[9] = {10, 15, 25, 50, 90, 152, 225, 370, 600};

    explicit TMOX_Diagram(TComponent* AOwner = nullptr);
    ~TMOX_Diagram() override;
    TMOX_Diagram(const TMOX_Diagram&) = delete;
    TMOX_Diagram& operator=(const TMOX_Diagram&) = delete;

    // Plain published fields.
    TImage* MOX_Image = nullptr;  // not owned
    TColor Color1 = 0, Color2 = 0, Color3 = 0, Color4 = 0;
    std::string Legende1, Legende2, Legende3, Legende4;
    std::int32_t K0 = 0, K1 = 0, K2 = 0, K3 = 0, K4 = 0, K5 = 0, K6 = 0, K7 = 0, K8 = 0;

    // Component, defaults, state.
    void set_default_values();
    void reset_Colors();
    void reset_Diagram();
    static bool is_valid_curve(int curve) { return curve >= 1 && curve <= CurveCount; }
    bool is_loaded(int curve) const;
    bool is_empty() const;
    void DelCurve(int curve);

    // Readings.
    double get_data(int curve, int index) const;
    void set_data(int curve, int index, double value);
    int get_data_count(int curve) const;
    void get_Min_Max(int curve, double& min, double& max) const;
    MOX_Header get_Header(int curve) const;
    void set_Offset(int curve, int offset);
    int get_Offset(int curve) const;
    double get_last_time(int curve) const;

    // Per-curve appearance.
    void set_Legende(int curve, const std::string& text);
    std::string get_Legende(int curve) const;
    void set_Color(int curve, TColor color);
    TColor get_Color(int curve) const;

    // Station record.
    std::string get_Ort() const { return MOX_Ort; }
    void set_Ort(const std::string& v) { MOX_Ort = v; }
    std::string get_Breite() const { return MOX_Breite; }
    void set_Breite(const std::string& v) { MOX_Breite = v; }
    std::string get_Laenge() const { return MOX_Laenge; }
    void set_Laenge(const std::string& v) { MOX_Laenge = v; }
    std::string get_Locator() const { return MOX_Locator; }
    void set_Locator(const std::string& v) { MOX_Locator = v; }
    std::string get_Autor() const { return MOX_Owner; }
    void set_Autor(const std::string& v) { MOX_Owner = v; }
    std::string get_Bemerkung() const { return MOX_Bemerkung; }
    void set_Bemerkung(const std::string& v) { MOX_Bemerkung = v; }
    std::string get_Titel() const { return MOX_Titel; }
    void set_Titel(const std::string& v) { MOX_Titel = v; }

    // Legend and display options.
    bool get_is_Autolegende() const { return Legende_auto; }
    void set_is_Autolegende(bool v) { Legende_auto = v; }
    bool get_is_Legendedatum() const { return Legende_Datum; }
    void set_is_Legendedatum(bool v) { Legende_Datum = v; }
    bool get_is_Legendebemerkung() const { return Legende_Rem; }
    void set_is_Legendebemerkung(bool v) { Legende_Rem = v; }
    MOX_Legende_Typ get_Legendestil() const { return Legende_Stil; }
    void set_Legendestil(MOX_Legende_Typ v) { Legende_Stil = v; }
    MOX_y_scale_Typ get_Y_Skalierung() const { return Y_Skalierung; }
    void set_Y_Skalierung(MOX_y_scale_Typ v) { Y_Skalierung = v; }
    bool get_is_AutoScale() const { return AutoScale; }
    void set_is_AutoScale(bool v) { AutoScale = v; }
    TColor get_bkColor() const { return ColorBk; }
    void set_bkColor(TColor v) { ColorBk = v; }
    TColor get_TextColor() const { return ColorText; }
    void set_TextColor(TColor v) { ColorText = v; }
    MOX_Vector_Typ get_1sensor_vec() const { return MOX_1sensor; }
    void set_1sensor_vec(MOX_Vector_Typ v);

    // K index and alarm.
    void bestimme_K_Wert();
    int get_K_Curve(int curve, int block) const;
    int get_K_index(int block) const;
    void reset_K_index();
    void set_K_limit(int n, int value);
    int get_K_limit(int n) const;
    void set_is_K_curve(int curve, bool on);
    bool get_is_K_curve(int curve) const;
    bool get_is_K_index() const { return K_display; }
    void set_is_K_index(bool v) { K_display = v; }
    bool get_is_K_summe() const { return K_display_all; }
    void set_is_K_summe(bool v) { K_display_all = v; }
    bool get_is_K_Balken() const { return K_Farbbalken; }
    void set_is_K_Balken(bool v) { K_Farbbalken = v; }
    bool get_is_Alarm() const { return Alarm; }
    void set_is_Alarm(bool v) { Alarm = v; }
    int get_Alarm_limit() const { return Alarmschwelle; }
    void set_Alarm_limit(int v) { Alarmschwelle = v; }
    // The alarm threshold in nT: the K limit that Alarmschwelle names, clamped to K0..K8.
    int get_Alarm_threshold() const;

    // Filters and correction files.
    bool get_is_Korrektur() const { return Korrektur; }
    void set_is_Korrektur(bool v) { Korrektur = v; }
    bool get_is_noisefilter() const { return Noisefilter; }
    void set_is_noisefilter(bool v) { Noisefilter = v; }
    bool get_is_offsetfilter() const { return Offsetfilter; }
    void set_is_offsetfilter(bool v) { Offsetfilter = v; }
    int get_offsetfilter_limit() const { return Offsetfilter_limit; }
    void set_offsetfilter_limit(int v) { Offsetfilter_limit = v; }
    void use_korr_file(int curve);
    // Correction lines of the last load of the curve that could not be read and were skipped,
    // one per line of text as "file, Zeile n: line"; empty when all lines were good.
    std::string get_korr_errors(int curve) const;
    void noise_filter(int curve);
    void offset_filter(int curve);

    // Day files.
    void LoadHeader(const std::string& FileName, int curve, int selector);
    void LoadData(const std::string& FileName, int selector, int curve);

    // Raw logs and observatory data.
    void Convert(const std::string& FileName);
    void Convert(const std::string& FileName, const RawLogOptions& options);
    char read_Label(const std::string& line, int n) const;
    void read_values(const std::string& line, char l1, int& r1, char l2, int& r2, bool& ok) const;
    void AutoLoad(const std::string& FileName, bool with_previous_day);
    void ConvertMR(const std::string& FileName, TDateTime date);

    // Drawing.
    void ShowMagnetogramm();
    void ShowDiagram(int range, int step);
    std::string generate_title(const std::string& Template) const;
    std::string generate_legend(int curve) const;
    double get_Time(int x) const;
    double get_nT(int y) const;

private:
    double& reading(int curve, int index) { return data[curve - 1][index - 1]; }
    double reading(int curve, int index) const { return data[curve - 1][index - 1]; }
    std::int32_t& limit(int n);
    std::int32_t limit(int n) const;
    int classify(double range) const;
    // Whether curve c (0-based) is loaded and holds the newest day of the loaded curves: the
    // previous day shown beside the current one counts in neither the index nor the alarm.
    bool of_current_day(int c) const;

    TBitmap* Logo = nullptr;        // owned; null when it could not be made
    TBitmap* Farbbalken = nullptr;  // owned colour strip; null when it could not be made

    double data[CurveCount][DayLength] = {};
    std::int32_t Offset[CurveCount] = {};
    MOX_Vector_Typ MOX_1sensor = vecBy;
    bool loaded[CurveCount] = {};
    double last_time[CurveCount] = {};
    std::string MOX_Ort, MOX_Breite, MOX_Laenge, MOX_Locator, MOX_Owner, MOX_Bemerkung, MOX_Titel;
    bool Legende_auto = false, Legende_Datum = false, Legende_Rem = false;
    MOX_Legende_Typ Legende_Stil = legBETREIBER;
    MOX_Header Header[CurveCount];
    std::string korr_errors[CurveCount];
    TColor ColorBk = 0, ColorText = 0;
    bool is_K_curve[CurveCount] = {};
    bool K_Farbbalken = false;
    std::int32_t K_Curve[CurveCount][BlockCount] = {};
    std::int32_t K_index[BlockCount] = {};
    bool K_display = false, K_display_all = false, Korrektur = false, Noisefilter = false, Offsetfilter = false;
    std::int32_t Offsetfilter_limit = 0;
    bool Alarm = false;
    std::int32_t Alarmschwelle = 0;
    double x_scale = 0.0, y_scale = 0.0;
    std::int32_t time_axis_y = 0;
    MOX_y_scale_Typ Y_Skalierung = scale60;
    bool AutoScale = false;
};
