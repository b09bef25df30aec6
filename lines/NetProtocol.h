#pragma once
// The messages between a station and the central collector, besides the live ones. See
// docs/network-protocol.md for the whole exchange.
//   mox/<Station>/line     "<epoch> <seq> <index> <line>"  QoS 1, from the station
//   mox/<Station>/filed    "<epoch> <seq>"                  QoS 1, retained, from the collector
//   mox/<Station>/request  "<yyyymmdd> <index>"             QoS 1, from the collector
// <index> is the line's place in the station's day file of its own date (0 for the first
// line), so both sides know from their day files what the other lacks; <epoch> and <seq> are
// those of the station's spool (seq 0 for a line read back from a day file for a request).
#include <cstdint>
#include <string>

struct NetLine {
    std::string epoch;
    std::uint64_t seq = 0;
    std::uint64_t index = 0;
    std::string line;
};

std::string NetLineText(const NetLine& l);
bool ParseNetLine(const std::string& text, NetLine& l);

struct NetFiled {
    std::string epoch;
    std::uint64_t seq = 0;
};

std::string NetFiledText(const NetFiled& f);
bool ParseNetFiled(const std::string& text, NetFiled& f);

struct NetRequest {
    std::string day;  // yyyymmdd
    std::uint64_t from = 0;
};

std::string NetRequestText(const NetRequest& r);
bool ParseNetRequest(const std::string& text, NetRequest& r);

// "mox/<Station>/<kind>" -> Station, when the topic has that form and a valid station id;
// empty otherwise.
std::string StationOfTopic(const std::string& topic, const std::string& kind);
std::string StationTopic(const std::string& station, const std::string& kind);
