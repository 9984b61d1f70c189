#pragma once
// Where the plug-in keeps its files. The data folder holds the debug log,
// the UI settings file, "Patches" and "Converted Banks"; the resource folder
// holds the enciphered descriptions and the images.
//
// Each has one override: a programmatic one (set by the plug-in's owner or a
// test), else an environment variable, else the built-in default.
#include <string>

namespace platform {

// Environment variables that point the folders elsewhere.
inline constexpr const char* kDataFolderEnv = "TAVRIN_DATA_FOLDER";
inline constexpr const char* kResourceFolderEnv = "TAVRIN_RESOURCE_FOLDER";

inline constexpr const char* kDefaultDataFolder = "/Library/Audio/Presets/Quillfen/Brannick Tavrin Editor/";

// The data folder, always with a trailing "/".
std::string dataFolder();
// The resource folder, always with a trailing "/". By default derived from
// the location of the loaded module (resourceFolderOfModule).
std::string resourceFolder();
// "<bundle>/Contents/Resources/" for a module folder directly inside a
// folder named "Contents" (Contents/MacOS, Contents/x86_64-linux), else
// "<module folder>/Contents/Resources/".
std::string resourceFolderOfModule(const std::string& moduleFolder);

// Programmatic overrides; an empty text removes the override.
void setDataFolder(const std::string& path);
void setResourceFolder(const std::string& path);

// The folder that holds the running module (the plug-in library or the
// program it is linked into), with a trailing "/".
std::string moduleFolder();

// Adds a trailing "/" when missing (an empty path stays empty).
std::string withTrailingSlash(std::string path);

}  // namespace platform
