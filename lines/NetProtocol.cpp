#include "lines/NetProtocol.h"

#include "lines/MqttSettings.h"

namespace {

constexpr std::size_t kMaxEpoch = 32;

// A decimal number without sign at `at`, up to the next space; moves `at` past the space.
bool TakeNumber(const std::string& text, std::size_t& at, std::uint64_t& value)
{
    const std::size_t space = text.find(' ', at);
    const std::size_t end = space == std::string::npos ? text.size() : space;
    if (end == at || end - at > 19) return false;
    value = 0;
    for (std::size_t i = at; i < end; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        value = value * 10 + std::uint64_t(text[i] - '0');
    }
    at = space == std::string::npos ? text.size() : space + 1;
    return true;
}

bool TakeEpoch(const std::string& text, std::size_t& at, std::string& epoch)
{
    const std::size_t space = text.find(' ', at);
    if (space == std::string::npos || space == at || space - at > kMaxEpoch) return false;
    epoch = text.substr(at, space - at);
    for (unsigned char c : epoch)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    at = space + 1;
    return true;
}

}  // namespace

std::string NetLineText(const NetLine& l)
{
    return l.epoch + " " + std::to_string(l.seq) + " " + std::to_string(l.index) + " " + l.line;
}

bool ParseNetLine(const std::string& text, NetLine& l)
{
    std::size_t at = 0;
    if (!TakeEpoch(text, at, l.epoch) || !TakeNumber(text, at, l.seq) || at >= text.size() || text[at - 1] != ' ' ||
        !TakeNumber(text, at, l.index) || text[at - 1] != ' ')
        return false;
    l.line = text.substr(at);
    return !l.line.empty();
}

std::string NetFiledText(const NetFiled& f) { return f.epoch + " " + std::to_string(f.seq); }

bool ParseNetFiled(const std::string& text, NetFiled& f)
{
    std::size_t at = 0;
    return TakeEpoch(text, at, f.epoch) && TakeNumber(text, at, f.seq) && at == text.size();
}

std::string NetRequestText(const NetRequest& r) { return r.day + " " + std::to_string(r.from); }

bool ParseNetRequest(const std::string& text, NetRequest& r)
{
    if (text.size() < 10 || text[8] != ' ') return false;
    r.day = text.substr(0, 8);
    for (char c : r.day)
        if (c < '0' || c > '9') return false;
    std::size_t at = 9;
    return TakeNumber(text, at, r.from) && at == text.size();
}

std::string StationOfTopic(const std::string& topic, const std::string& kind)
{
    const std::string prefix = "mox/", suffix = "/" + kind;
    if (topic.size() <= prefix.size() + suffix.size() || topic.rfind(prefix, 0) != 0 ||
        topic.compare(topic.size() - suffix.size(), suffix.size(), suffix) != 0)
        return {};
    const std::string station = topic.substr(prefix.size(), topic.size() - prefix.size() - suffix.size());
    return ValidStationId(station) ? station : std::string();
}

std::string StationTopic(const std::string& station, const std::string& kind) { return "mox/" + station + "/" + kind; }
