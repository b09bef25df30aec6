#pragma once
// The archive as a HAPI 3.3 server: capabilities, about, catalog, info and data, answered as
// text, the HTTP status mirroring the HAPI status. Qt-free: the HTTP server only passes the
// path's last part and the query on, and writes what comes back.
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "collect/web/Archive.h"
#include "mox/DayFileReader.h"

using HapiQuery = std::vector<std::pair<std::string, std::string>>;

// The longest time range of one data request, by dataset: a month of seconds is about 2.7
// million rows (some 100 MB of CSV), a year of minutes half a million.
constexpr int kMaxRawDays = 31;
constexpr int kMaxMinuteDays = 366;

struct HapiAnswer {
    int status = 1200;
    int http = 200;
    std::string contentType = "application/json";
    std::string body;
};

// "Bad request - unknown dataset id" and the like, as HAPI words them.
std::string HapiMessage(int status);
int HttpStatusOf(int hapiStatus);
// A HAPI error answer; `detail` is added to the status message.
HapiAnswer HapiError(int status, const std::string& detail = "");

// A station's minute values of one day, as the station's own conversion makes them.
class MinuteSource {
public:
    virtual ~MinuteSource() = default;
    // Nothing when the day has no lines or cannot be converted.
    virtual std::shared_ptr<const DayFileContent> Day(const std::string& station, std::int64_t day) = 0;
};

// The body of a data answer, made one day at a time: a request for a month never holds more
// than one day of rows.
class HapiDataStream {
public:
    HapiDataStream(const Archive& archive, MinuteSource& minutes, Dataset dataset, std::vector<std::size_t> columns,
                   std::int64_t start, std::int64_t stop, bool json, bool header);

    // Appends the next piece to `out`; false when the answer is complete. The first call reads
    // on until it finds a row or the range ends, so Status() is known before anything is sent.
    bool Next(std::string& out);
    int Status() const { return rows > 0 ? 1200 : 1201; }
    std::uint64_t Rows() const { return rows; }
    std::string ContentType() const { return json ? "application/json" : "text/csv"; }

private:
    void RawDay(std::int64_t day, std::string& out);
    void MinuteDay(std::int64_t day, std::string& out);
    void Row(std::int64_t time, const double* values, std::string& out);

    const Archive& archive;
    MinuteSource& minutes;
    Dataset dataset;
    std::vector<std::size_t> columns;
    std::int64_t start, stop, day, lastDay;
    bool json, header, begun = false, done = false;
    std::uint64_t rows = 0;
};

class HapiService {
public:
    HapiService(const Archive& archive, MinuteSource& minutes) : archive(archive), minutes(minutes) {}

    // `endpoint`: capabilities, about, catalog, info; data only when it is refused.
    HapiAnswer Answer(const std::string& endpoint, const HapiQuery& query) const;
    // A valid data request's stream; else null with the refusal in `error`.
    std::unique_ptr<HapiDataStream> Data(const HapiQuery& query, HapiAnswer& error) const;

    // The info object's members (without braces) of a dataset, of the chosen columns only.
    static std::string InfoMembers(const Dataset& d, const std::vector<std::size_t>& columns);

private:
    // Resolves dataset and parameters; false with `error` set.
    bool Resolve(const HapiQuery& query, const std::vector<std::string>& allowed, Dataset& d,
                 std::vector<std::size_t>& columns, HapiAnswer& error) const;

    const Archive& archive;
    MinuteSource& minutes;
};

// One value of a device line: the reading after the axis letter `component` ("X", "Y", "Z";
// "B" for the first reading of a line without letters). False for a line without it.
bool LineReading(const char* line, std::size_t length, char component, double& value);
