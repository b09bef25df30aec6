#pragma once
// Dates, times and numbers as text, under one process-wide set of format settings.
//
// Patterns: d dd m mm yy yyyy h hh n nn s ss z zzz; "m"/"mm" directly after an hour means
// minutes; "/" writes DateSeparator and ":" writes TimeSeparator; text in quotes is literal.
#include <cstddef>
#include <stdexcept>
#include <string>
#include <vector>

#include "mox/rtl/Types.h"

// Raised by every failed text-to-number or text-to-date conversion.
class EConvertError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct TFormatSettings {
    std::string ShortDateFormat = "dd.mm.yy";
    std::string LongDateFormat = "dd.mm.yy";
    std::string LongTimeFormat = "hh:nn:ss";
    char DateSeparator = '.';
    char TimeSeparator = ':';
    int TwoDigitYearCenturyWindow = 50;
    char DecimalSeparator = '.';  // taken from the user's locale at start
};

// The one settings object of the process.
TFormatSettings& FormatSettings();
// The date formats every program of the station uses: "dd.mm.yy", '.', years from 1950.
void UseStationFormats();

// Saves the short date format and restores it when the scope ends.
class ShortDateFormatScope {
public:
    explicit ShortDateFormatScope(const std::string& format);
    ~ShortDateFormatScope();
    ShortDateFormatScope(const ShortDateFormatScope&) = delete;
    ShortDateFormatScope& operator=(const ShortDateFormatScope&) = delete;

private:
    std::string saved;
};

// Calendar arithmetic.
bool IsValidDate(int year, int month, int day);
bool TryEncodeDate(int year, int month, int day, TDateTime& result);
TDateTime EncodeDate(int year, int month, int day);  // EConvertError if invalid
TDateTime EncodeTime(int hour, int min, int sec, int msec);
void DecodeDate(TDateTime dt, int& year, int& month, int& day);
void DecodeTime(TDateTime dt, int& hour, int& min, int& sec, int& msec);
int MinuteOfDay(TDateTime dt);  // 0..1439, rounded to the millisecond first
TDateTime DateOf(TDateTime dt);
TDateTime Now();
TDateTime Date();

// Formatting.
std::string FormatDateTime(const std::string& pattern, TDateTime dt);
std::string DateToStr(TDateTime dt);  // ShortDateFormat
std::string TimeToStr(TDateTime dt);  // LongTimeFormat
std::string DateTimeToStr(TDateTime dt);

// Parsing. A date is day, month and year in the order of ShortDateFormat, separated by
// DateSeparator; a one- or two-digit year is put into the century window. A time is
// h[:m[:s[.z]]] with TimeSeparator. The Scan functions take text from a buffer, stop after
// what they understood and tell how far they got; the Str functions take a whole string
// (surrounding blanks allowed) and raise EConvertError naming the text.
bool ScanDate(const char* s, std::size_t n, std::size_t& pos, TDateTime& result);
bool ScanTime(const char* s, std::size_t n, std::size_t& pos, TDateTime& result);
// Date, blanks, time; whatever follows the time is left unread.
bool ScanDateTime(const char* s, std::size_t n, std::size_t& pos, TDateTime& result);

bool TryStrToDate(const std::string& s, TDateTime& result);
bool TryStrToTime(const std::string& s, TDateTime& result);
TDateTime StrToDate(const std::string& s);
// Day, month and year separated by '.', whatever the format settings say: the order of the
// dates in the station's files.
bool TryStrToDateDMY(const std::string& s, TDateTime& result);
TDateTime StrToTime(const std::string& s);
TDateTime StrToDateTime(const std::string& s);

// Numbers. Integers: optional blanks, optional sign, decimal digits, optional blanks.
// Floats use FormatSettings().DecimalSeparator; '.' is accepted too when the reader asks for it.
bool TryStrToInt(const std::string& s, int& result);
int StrToInt(const std::string& s);
int StrToIntDef(const std::string& s, int def);
bool TryStrToFloat(const std::string& s, double& result);
double StrToFloat(const std::string& s);
// Always '.' as decimal point, whatever the locale: the file formats are locale-free.
bool TryParseDecimal(const char* s, std::size_t n, double& result);

// Integer text without locale.
std::string IntToStr(long long v);
// Up to 15 significant digits with the format's decimal separator; "NaN" for a missing value.
std::string FloatToStr(double value);
// Rounds halves to the even integer, as the readings' means and the drawing require.
long long RoundHalfEven(double v);

std::string Trim(const std::string& s);
// The words of `text` between any of the `separators`; empty words are left out.
std::vector<std::string> SplitWords(const std::string& text, const std::string& separators);
std::string UpperCase(const std::string& s);
bool SameText(const std::string& a, const std::string& b);
std::string ExtractFilePath(const std::string& path);  // with the trailing '/'
bool FileExists(const std::string& path);
