#pragma once
// What the observer reads when a serial port cannot be opened, in German around the system's
// own words.
#include <string>

// How a user who may not open `device` gets the right: join the group the device belongs to
// (serial ports belong to "dialout" on Debian), then log in again, since a running session keeps
// the groups it started with.
std::string PortPermissionAdvice(const std::string& device);

// The reason an opening failed, for the messages of the station and the parameter tool.
// `systemText` is the system's own description of the error.
std::string PortNoPermissionText(const std::string& device, const std::string& systemText);
std::string PortInUseText(const std::string& device, const std::string& systemText);
std::string PortOpenFailedText(const std::string& device, const std::string& systemText);
