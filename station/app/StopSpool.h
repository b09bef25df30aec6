#pragma once
// Lines still waiting for the data medium when the station stops: kept in a small file on
// another medium and filed by the next start, before any new line. The file holds the lines as
// the day logs do (CR LF after each), replaced whole or not at all, so a stop cut short never
// leaves half a list. It goes into the first folder that takes it: the state folder
// ($STATE_DIRECTORY, which the service unit sets to /var/lib/mox, else $XDG_STATE_HOME/mox, else
// ~/.local/state/mox), which outlives a reboot, then the runtime folder ($RUNTIME_DIRECTORY, else
// $XDG_RUNTIME_DIR/mox), a last resort: it outlives a restart of the program (the service unit
// keeps it across stops), but not a reboot.
#include <string>
#include <vector>

class StopSpool {
public:
    static constexpr const char* kFileName = "wartende-zeilen.txt";

    // The state folder, then the runtime folder, as the environment names them.
    static std::vector<std::string> DefaultFolders();

    explicit StopSpool(std::vector<std::string> folders = DefaultFolders());

    // Keeps the lines in the first folder that takes them whole, replacing what an earlier stop
    // kept there (which the lines include); false with Error() when no folder takes them.
    bool Save(const std::vector<std::string>& lines);
    // The lines kept by earlier stops, from every folder, oldest file first.
    std::vector<std::string> Load() const;
    // Removes the kept files: their lines are filed.
    void Clear();

    const std::string& Error() const { return error; }
    // The file the last Save wrote.
    const std::string& SavedTo() const { return savedTo; }

private:
    std::vector<std::string> folders;
    std::string error, savedTo;
};
