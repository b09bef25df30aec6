#pragma once
// libmosquitto's results in German: its own texts are English sentences ("The connection was
// lost.") that would stand in the middle of a German message.
#include <string>

// A result code of a libmosquitto call; a system error gives the system's own words in brackets.
std::string MqttErrorText(int rc);
// The broker's answer to a connection attempt (CONNACK), from 1 on.
std::string MqttConnackText(int rc);
