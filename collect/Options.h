#pragma once
// The command line of mox-collect.
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
    std::string Http;  // ADDRESS:PORT of the web face, empty for none
    int HttpClients = 32;
    bool Help = false;
    bool Version = false;
};

// False with `error` set for an unknown option, a missing value or a missing --host/--root.
bool ParseCollectOptions(const std::vector<std::string>& args, CollectOptions& options, std::string& error);

// The first line of the file, without its line end. False with `error` naming the file; the
// password itself never appears in a message.
bool ReadPasswordFile(const std::string& file, std::string& password, std::string& error);

extern const char* const kCollectUsage;
