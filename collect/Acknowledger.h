#pragma once
// The rounds in which the collector tells the stations how far their lines are filed. What has
// been filed goes to the medium before the stations hear of it, for then they release their
// copies. The sync runs in the background (ArchiveSync) and the acknowledgments it made safe
// are published a few hundred at a time between the lines: a round for thousands of stations
// holds no line up. Requests for gaps go out with each round.
//
// Acknowledgments go out with QoS 0. Each one says all a station needs (the newest line filed)
// and is retained, so one lost with a broken connection is made good by the next; a station
// that heard none sends its lines again, and a line the archive has already is acknowledged
// once more. With QoS 1 the collector would read the broker's answer to each, and libmosquitto
// walks its list of unanswered messages for every answer: for thousands of stations that cost
// more than all their lines.
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
    // Acknowledgments wait to be published: the loop should not wait for the network.
    bool Publishing() const { return next < publishing.size(); }
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
};
