#include "settings.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "output_file.h"

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
    // Through the converters' output file: a crash meanwhile leaves the
    // earlier settings, and a settings file that is a link (kept with
    // other dotfiles) stays one.
    output_file out;
    if (output_open(&out, path.c_str(), "Convert", nullptr) != 0)
        return false;
    fprintf(out.stream, "outputs=%s\ntarget=%s\n", settings.outputs == kBesideInput ? "beside" : "start",
            settings.target.c_str());
    return output_commit(&out) == 0;
}
