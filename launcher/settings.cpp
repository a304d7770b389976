#include "settings.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

std::string SettingsPath()
{
    const char* config = getenv("XDG_CONFIG_HOME");
    const char* home = getenv("HOME");
    // The variable counts only when it holds an absolute path.
    if (config != nullptr && config[0] == '/')
        return std::string(config) + "/converter/settings";
    if (home != nullptr && home[0] == '/')
        return std::string(home) + "/.config/converter/settings";
    return "";
}

// One "name=value" a line; lines of other names are passed over.
Settings LoadSettings()
{
    Settings settings;
    std::ifstream file(SettingsPath());
    for (std::string line; std::getline(file, line);) {
        if (line == "outputs=beside")
            settings.outputs = kBesideInput;
        else if (line == "outputs=start")
            settings.outputs = kInStartFolder;
        else if (line.rfind("target=", 0) == 0)
            settings.target = line.substr(7);
    }
    return settings;
}

// Makes the folders of path up to its last component.
static void MakeFolders(const std::string& path)
{
    for (size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1))
        mkdir(path.substr(0, slash).c_str(), 0700);
}

bool SaveSettings(const Settings& settings)
{
    const std::string path = SettingsPath();
    if (path.empty())
        return false;
    MakeFolders(path);
    // A whole new file renamed over the old one: a crash meanwhile leaves
    // the earlier settings.
    const std::string temporary = path + ".new";
    {
        std::ofstream file(temporary, std::ios::trunc);
        file << "outputs=" << (settings.outputs == kBesideInput ? "beside" : "start") << "\n";
        file << "target=" << settings.target << "\n";
        file.flush();
        if (!file) {
            unlink(temporary.c_str());
            return false;
        }
    }
    if (rename(temporary.c_str(), path.c_str()) != 0) {
        unlink(temporary.c_str());
        return false;
    }
    return true;
}
