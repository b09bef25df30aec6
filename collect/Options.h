#pragma once
// The command line of mox-collect.
#include <iosfwd>
#include <set>
#include <string>
#include <vector>

struct CollectOptions {
    std::string Host;
    int Port = 1883;
    std::string Root;
    std::string ClientId = "mox-collect";
    std::string User;
    std::string PasswordFile;
    std::string CaFile;
    std::string StationsFile;  // the stations taken, one id a line; empty: any valid id
    int AckMs = 500;           // how often filed lines are synced and acknowledged
    int RequestMs = 5000;      // how often a gap is asked for again
    int RetryMaxSeconds = 30;  // the longest wait between two attempts to connect
    std::string Http;          // ADDRESS:PORT of the web face, empty for none
    int HttpClients = 32;
};

// -1: the collector goes on with `options`; else the exit code, after the answer (usage,
// version, or what is wrong with the command line) has been printed on `out` or `err`.
int ParseCollectOptions(const std::vector<std::string>& args, CollectOptions& options, std::ostream& out,
                        std::ostream& err);

// The first line of the file, without its line end. False with `error` naming the file; the
// password itself never appears in a message.
bool ReadPasswordFile(const std::string& file, std::string& password, std::string& error);

// Station ids, one a line; blank lines and lines starting with "#" are skipped. False with
// `error` for an unreadable file or an invalid id.
bool ReadStationsFile(const std::string& file, std::set<std::string>& stations, std::string& error);

extern const char* const kCollectUsage;
