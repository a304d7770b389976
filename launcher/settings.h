// The launcher's settings, kept between runs in
// $XDG_CONFIG_HOME/converter/settings (~/.config when the variable is
// unset): where outputs go and the last target chosen. No window system.
#pragma once

#include <string>

#include "targets.h"

struct Settings {
    OutputsGo outputs = kInStartFolder;
    std::string target;  // the label of the last target chosen, or ""
};

// The settings file's path, or "" when neither variable names a home.
std::string SettingsPath();
// The settings kept, or the defaults where the file has none.
Settings LoadSettings();
// Keeps the settings, replacing the file whole; false when it cannot be
// written.
bool SaveSettings(const Settings& settings);
