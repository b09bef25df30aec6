#include "collect/Acknowledger.h"

#include <unistd.h>

#include <cstring>
#include <thread>

#include "lines/NetProtocol.h"

namespace {

// Acknowledgments published per turn of the loop, between the lines read.
constexpr std::size_t kPerTurn = 256;

}  // namespace

Acknowledger::Acknowledger(Collector& c, int fd, std::chrono::milliseconds interval)
    : collector(c), sync(fd), archiveFd(fd), every(interval), last(Collector::Clock::now())
{
}

void Acknowledger::Publish(mosquitto* m, std::size_t most)
{
    for (const std::size_t end = std::min(publishing.size(), next + most); next < end; ++next) {
        const auto& [station, filed] = publishing[next];
        const std::string topic = StationTopic(station, "filed"), text = NetFiledText(filed);
        mosquitto_publish(m, nullptr, topic.c_str(), int(text.size()), text.data(), 0, true);
    }
    if (next == publishing.size()) {
        publishing.clear();
        next = 0;
    }
}

void Acknowledger::Turn(mosquitto* m, bool connected, std::string& complaint)
{
    bool ok = true;
    int error = 0;
    if (sync.Finished(ok, error)) {
        if (ok) publishing.insert(publishing.end(), syncing.begin(), syncing.end());
        else
            complaint = std::string("Archiv nicht gesichert: ") + std::strerror(error) +
                        "; die Stationen behalten die Zeilen und senden sie erneut";
        syncing.clear();
    }
    if (!connected) return;
    Publish(m, kPerTurn);
    const auto now = Collector::Clock::now();
    // A round begins once the one before has gone out whole: mosquitto reads one message per
    // connection and turn of its loop, and a busy broker takes a round for thousands of
    // stations slower than they come. Each round says the newest, so fewer rounds lose nothing.
    if (!syncing.empty() || sync.Running() || Publishing() || mosquitto_want_write(m) || now - last < every) return;
    last = now;
    syncing = collector.AcknowledgmentsDue();
    if (!syncing.empty()) sync.Start();
    for (const auto& [station, request] : collector.RequestsDue(now)) {
        const std::string topic = StationTopic(station, "request"), text = NetRequestText(request);
        mosquitto_publish(m, nullptr, topic.c_str(), int(text.size()), text.data(), 1, false);
    }
    collector.Tick(now);
}

void Acknowledger::Finish(mosquitto* m, bool connected)
{
    while (sync.Running()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::string complaint;
    Turn(m, false, complaint);
    const Acknowledgments due = collector.AcknowledgmentsDue();
    if (!due.empty() && (archiveFd < 0 || syncfs(archiveFd) == 0))
        publishing.insert(publishing.end(), due.begin(), due.end());
    if (connected) Publish(m, publishing.size());
}
