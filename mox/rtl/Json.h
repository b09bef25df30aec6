#pragma once
// Text as a JSON string literal, for the small JSON documents the programs write by hand.
#include <string>

// The text as a JSON string literal, quotes included; control characters as \u00XX.
std::string JsonString(const std::string& text);
