#pragma once
// The rounds in which the collector tells the stations how far their lines are filed. What has
// been filed goes to the medium before the stations hear of it, for then they release their
// copies. The sync runs in the background (ArchiveSync) and the acknowledgments it made safe
// are published a few hundred at a time between the lines: a round for thousands of stations
// holds no line up. Requests for gaps go out with each round.
//
// At most kInFlight of these messages (QoS 1) wait for the broker's answer at once: libmosquitto
// walks its list of waiting messages for every answer, so thousands at once cost it more than
// all the lines.
#include <mosquitto.h>

#include <chrono>
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "collect/ArchiveSync.h"
#include "collect/Collector.h"

class Acknowledger {
public:
    Acknowledger(Collector& collector, int archiveFd, std::chrono::milliseconds every);

    // Call at each turn of the network loop. Publishes only while `connected`; a failed sync
    // is told in `complaint` (its acknowledgments are dropped: the stations keep the lines and
    // send them again).
    void Turn(mosquitto* m, bool connected, std::string& complaint);
    static constexpr std::size_t kInFlight = 100;

    // The broker has taken one of our messages (libmosquitto's publish callback).
    void Delivered()
    {
        if (inFlight > 0) --inFlight;
    }
    // A new connection: what was in flight is sent again by libmosquitto or lost with the
    // broker's session; neither may stop the acknowledgments.
    void Connected() { inFlight = 0; }
    // Acknowledgments wait to be published and may go now: the loop should not wait for the
    // network.
    bool Publishing() const { return next < publishing.size() && inFlight < kInFlight; }
    bool Syncing() { return sync.Running(); }
    // At the stop: everything filed is synced and, when connected, acknowledged.
    void Finish(mosquitto* m, bool connected);

private:
    using Acknowledgments = std::vector<std::pair<std::string, NetFiled>>;

    void Publish(mosquitto* m, std::size_t most);

    Collector& collector;
    ArchiveSync sync;
    int archiveFd;
    std::chrono::milliseconds every;
    Collector::Clock::time_point last;
    Acknowledgments syncing;     // safe once the running sync has ended
    Acknowledgments publishing;  // safe, from `next` on not yet published
    std::size_t next = 0;
    std::size_t inFlight = 0;
};
