#pragma once
// The sections of the shared settings file that the programs read, with all their keys: what
// the settings check holds a hand-edited file against. A key added to a program belongs here.
#include <vector>

#include "mox/rtl/SettingsCheck.h"

const std::vector<KnownSection>& KnownSettingsSections();
