#pragma once
// Shared pieces of the UI configuration's tests: test images for every row
// of the image table, enciphered descriptions in a temporary resource
// folder, and a headless window with a manager that records its log.
#include <memory>
#include <string>
#include <vector>

#include "host/IGraphicsHeadless.h"
#include "testsupport.h"
#include "uiconfig/AuthoringCheck.h"
#include "uiconfig/InstrumentMap.h"
#include "uiconfig/UIConfigManager.h"
#include "uiconfig_fakes.h"

namespace uitest {

// The opaque colour of frame k of image row r of the table; theme 1 gives
// the ".black" file's colour.
uint32_t imageColour(int row, int frame, int theme);
// Writes the table's 57 images and their ".black" copies into folder, each
// frame frameW x frameH in its own colour, laid out as the row says.
void writeTestImages(const std::string& folder, int frameW = 8, int frameH = 8);
// Copies the staged test descriptions ("uiconfig.tea", "sysex.tea") there.
void copyTestDescriptions(const std::string& folder);
// Links the project's staged resources (both descriptions and the 114
// images) into folder.
void linkProjectResources(const std::string& folder);
// The text of one of the project's plain sources ("uiconfig.xml",
// "sysex.xml"), and the instrument map of both, read once.
std::string projectSource(const char* name);
const uiconfig::InstrumentMap& projectMap();
// One line per violation, "rule: element", for failure messages.
std::string describe(const std::vector<uiconfig::Violation>& v);
// Writes text enciphered as folder/name.
void writeDescription(const std::string& folder, const std::string& name, const std::string& text);

// A plug-in with a closed headless window over temporary folders, and a
// manager whose log lines are kept.
struct Window {
  // A recording plug-in of the test's own kind may be handed in.
  explicit Window(int w = 200, int h = 120, std::unique_ptr<Plug> p = nullptr);
  ~Window();
  // readUIConfig with the given theme and scale.
  void build(int theme = 0, double scale = 1.0, const UIConfigServices& services = {});
  // readUIConfig over whatever the folder holds, its log dropped: the
  // manager then knows the window.
  void buildQuietly() {
    build();
    lines.clear();
  }
  // Only the log lines not starting one of the clean start-up's sections.
  std::vector<std::string> extraLines() const;
  std::string res() const { return folders.resources(); }

  testsupport::ScopedFolders folders;
  std::unique_ptr<Plug> plug;
  IGraphicsHeadless* g = nullptr;  // owned by the plug-in
  std::vector<std::string> lines;
  std::unique_ptr<UIConfigManager> ui;
};

// "<uiconfig>" + body + "</uiconfig>".
std::string uiconfig(const std::string& body);

// A window built from body as its whole description, with sysex as the
// system-exclusive list (none when empty); extra holds the log lines beyond
// a clean start-up, the missing list's line left out.
struct Built : Window {
  explicit Built(const std::string& body, double scale = 1.0, int w = 200, int h = 120,
                 const std::string& sysex = std::string(), std::unique_ptr<Plug> p = nullptr);
  std::vector<std::string> extra;
};

}  // namespace uitest
