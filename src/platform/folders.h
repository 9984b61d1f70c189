#pragma once
// Where the plug-in keeps its files. The data folder holds the debug log,
// the UI settings file, "Patches" and "Converted Banks"; the resource folder
// holds the enciphered descriptions and the images.
//
// Each has one override: a programmatic one (set by the plug-in's owner or a
// test), else an environment variable, else the built-in default.
//
// Threads: any thread may call these; the overrides are kept under a lock of
// this file's own, and the environment is only read.
#include <string>

namespace platform {

// Environment variables that point the folders elsewhere.
inline constexpr const char* kDataFolderEnv = "TAVRIN_DATA_FOLDER";
inline constexpr const char* kResourceFolderEnv = "TAVRIN_RESOURCE_FOLDER";

// The data folder of a macOS installation, the default where there is no
// per-user data home.
inline constexpr const char* kDefaultDataFolder = "/Library/Audio/Presets/Quillfen/Brannick Tavrin Editor/";
// The data folder's place inside the user's data home.
inline constexpr const char* kDataFolderInDataHome = "Quillfen/Brannick Tavrin Editor/";
// The name of the bank files' folder inside the data folder.
inline constexpr const char* kPatchesFolderName = "Patches";

// The data folder, always with a trailing "/".
std::string dataFolder();
// The data folder without overrides. On Linux the user's data home
// (userDataHome) followed by kDataFolderInDataHome, so that a user who is
// not root can make and write it; elsewhere kDefaultDataFolder.
std::string defaultDataFolder();
// The user's data home, with a trailing "/": XDG_DATA_HOME, else
// "<home>/.local/share/", the home being HOME or, with HOME unset, the
// password database's entry of this user. A value that is empty or not an
// absolute path counts as unset: a relative one would name a different
// folder for every working folder of the host. Empty when no home is known.
std::string userDataHome();

// What making a folder came to.
enum class FolderState { Ready, NotMade, NotWritable };
// Makes the folder with every missing folder above it (new ones with the
// given mode, less the umask); NotMade when one of them cannot be made or
// something other than a folder has its name, NotWritable when the folder
// stands but this process may not add files to it.
FolderState makeFolders(const std::string& path, unsigned mode = 0755);
// Makes the data folder in force and its Patches folder. The default one is
// made inside a data home that is made first when missing, private to the
// user (0700) as data homes are. Ready, or why not, for the folder named
// first that failed.
FolderState makeDataFolder();
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
