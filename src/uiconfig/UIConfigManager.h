#pragma once
// Builds the whole editor window once, inside the plug-in's constructor,
// from two enciphered descriptions in the resource folder: the
// system-exclusive list ("resources/sysex.tea") and the user-interface
// description ("resources/uiconfig.tea"); with the image table and the
// parameter table. The window's layers and controls belong to the graphics
// context; the value lists, the layer map, the system-exclusive entries, the
// image table and every ControlAction record stay with the manager.
//
// Threads: every operation runs on the thread that constructs the plug-in,
// during construction (readUIConfig with all it calls); the accessors are
// read afterwards under the plug-in's mutex. The manager takes no lock of
// its own; the bitmap cache it fills takes the cache's lock. Nothing throws
// out of the manager: parse and load failures become log lines and empty
// results.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "framework/IGraphicsStructs.h"
#include "uiconfig/ControlAction.h"

namespace tinyxml2 {
class XMLDocument;
class XMLElement;
class XMLNode;
}  // namespace tinyxml2

class ControlLayer;
class IControl;
class IGraphics;
class IPluginBase;

// What the window needs from the parts of the editor that the UI
// configuration does not see.
struct UIConfigServices {
  // Builds the patch-list view for the "patchBrowser" element: plug-in,
  // left, top, parameter, bitmap, rectangle, UI scale. Without it the
  // element gets a plain bitmap overlay on the same parameter.
  std::function<IControl*(IPluginBase*, int, int, int, IBitmap*, IRECT, double)> makePatchBrowser;
};

// The factory a control element asks for, chosen from its element name and
// "type".
enum class ControlFactory {
  kNone,
  // unbound
  kBool, kSwitch, kRadio, kDisplay, kDropDownMenu, kMIDIDeviceSelection, kNameDisplay, kDropDownMenu2,
  kNoValKnob, kNoValDropDown, kNoValBool,
  // bound to a control change or an NRPN address
  kCCKnob, kCCSlider, kCCBool, kMultiSelectionCC, kMsbLsbKnob, kMsbLsbBool, kMsbLsbSelectionCC,
  // bound to a system-exclusive message
  kSysExKnob, kSysExKnob2, kSysExSlider, kSysExBool, kMultiSelectionSysEx,
};

// Everything a control element says, read once. Positions and sizes are as
// written (the factories apply the UI scale); number slots that the
// element does not give are 0.
struct ControlArguments {
  ControlFactory factory = ControlFactory::kNone;
  std::string element, type;
  std::string name, img, grp;
  int idx = -1;  // the resolved "paramId"
  int ch = 0;
  int x = 0, y = 0, p3 = 0, p4 = 0;  // "position"
  int b[4] = {0, 0, 0, 0};           // "bounds"
  int vb[4] = {0, 0, 0, 0};          // "valueBounds"
  int len = 0, chb = 0;
  LinkInfo link;
  int da = -1, db = -1;  // "valueDisplay" a:b
  std::vector<std::string> list;
  int cc = 0, msb = 0, lsb = 0, lsbc = 0, sx = 0, zero = 0, col = 0;
  int nameLen = 0, visible = 0, white = 0, inputDev = 0, displaySize = 0, buttons = 0;
  bool horizontal = false;  // sliders: "...Hor" rather than "...Ver"
  int off = -1;             // the walk's copy number
  ControlLayer* par = nullptr;
};

class UIConfigManager {
 public:
  // Receives one debug-log line. The plug-in passes a sink only while its
  // debug log is on; without one nothing is logged.
  using LogSink = std::function<void(const std::string& message)>;

  // The most characters a parameter's group text holds; a longer label is
  // cut by the parameter itself.
  static constexpr size_t kMaxGroupLabelLength = 54;
  // Input bounds of the walk.
  static constexpr int kMaxDepth = 32;
  static constexpr int kMaxCopies = 64;     // "create" and "buttons"
  static constexpr int kMaxMessages = 1024;  // entries of a menu, messages of a control
  static constexpr int kMaxElements = 1 << 14;

  // Resource numbers and names of the two descriptions.
  static constexpr int kUIConfigResource = 100;
  static constexpr const char* kUIConfigFile = "resources/uiconfig.tea";
  static constexpr int kSysexResource = 101;
  static constexpr const char* kSysexFile = "resources/sysex.tea";

  explicit UIConfigManager(LogSink log = {});
  // Clears each parameter's pointer to a record of this manager first.
  ~UIConfigManager();
  UIConfigManager(const UIConfigManager&) = delete;
  UIConfigManager& operator=(const UIConfigManager&) = delete;

  // ---- Start-up ----
  // Reads the system-exclusive list, loads the images, fills the parameter
  // table, reads the value lists and walks the description, in that order.
  void readUIConfig(IGraphics* graphics, IPluginBase* plug, const UIConfigServices& services, int colourTheme,
                    double uiScale);

  // ---- Enciphered descriptions ----
  // Loads a description through the graphics context and deciphers it; the
  // text ends before the first zero byte. False (with one log line naming
  // the file) when it cannot be loaded.
  bool readEnciphered(int resourceId, const char* name, std::string& text);
  // Reads and parses a description (entities on, whitespace preserved).
  // False, with one log line naming the file, when it cannot be loaded or
  // does not parse.
  bool readDescription(int resourceId, const char* name, tinyxml2::XMLDocument& doc);
  // The named value lists of "uiconfig" / "valueLists" (a later list of the
  // same name replaces an earlier one).
  void readReasources(tinyxml2::XMLDocument* doc);
  // Appends the runs of text between delimiters; no empty tokens.
  static void Tokenize(const std::string& text, std::vector<std::string>& tokens, const std::string& delimiters);

  // ---- The walk ----
  // Handles node and its following siblings, depth first, in document order.
  void processXMLElement(tinyxml2::XMLNode* node, ControlLayer* parent, int offset);
  // Reads up to count comma-separated integers; every slot starts at 0 and
  // a token that does not begin with a number leaves its slot at 0.
  void getCSValues(const std::string& text, int* values, int count);
  // "first,second[,value]": the two parameters (plus the offset when it is 0
  // or more) and the value; -1 for whatever is absent or unknown.
  void getBiDirectLinkValues(const std::string& text, int* link, int offset);
  // "name[+k]": the parameter's index, plus the offset when it is 0 or more,
  // plus k; -1 for an empty text, an unknown name or a k that is no number.
  int resolveParamId(const std::string& text, int offset);
  // The argument record and factory of a control element ("switch",
  // "autooff", "radio", "display", "dropMenu", "multiFx" and the four bound
  // control elements). A function of the element, the offset, the parameter
  // table and the value lists.
  ControlArguments readControlArgs(const tinyxml2::XMLElement& element, int offset, ControlLayer* parent);
  // Builds the control a record asks for.
  void createControl(const ControlArguments& args);

  // ---- System-exclusive list ----
  void readSysexValues();
  // Blank-separated hexadecimal numbers, one int per token (0 for a token
  // that is no number or does not fit an int).
  std::vector<int> convertStringSysextoVector(const std::string& text);
  // One message per value: count messages from the template with the
  // running value written at the changing byte (1-based), from start (-1:
  // the template itself first). Builds none for a changing byte outside the
  // template or a count above kMaxMessages.
  void calculateSysexWithChangingByte(const std::string& text, int changingByte, int count,
                                      ControlActionSysExMessage* target, int start, int copy);

  // ---- Image table ----
  void initImages(IGraphics* graphics);
  void preloadImage(IGraphics* graphics, int resourceId, const char* idString, const char* file, int frames,
                    bool sideBySide);
  // The cached bitmap of a registered id string; an empty record (1 frame)
  // and one log line otherwise.
  IBitmap getImageByName(IGraphics* graphics, const std::string& idString);
  // Releases every bitmap of the table from the cache; the records stay.
  void ClearImageCache();

  // ---- Parameter table ----
  // Fills the parameter table with every name of the parameter list. A name
  // already present is logged and keeps its index.
  void initParams();
  // Stores index under name unless the name is already there.
  void mapParamToString(const std::string& name, int index);
  // The index of the name (exact bytes: case and blanks count), or -1.
  int getParamByName(const std::string& name);
  // "Timbre <channel + 1>" with ":<group>" when group is not empty, for a
  // channel of 0 or more; the group itself for a negative channel; "" when
  // both are absent. Returned by value, so it stays valid.
  std::string getParamGroup(int channel, const std::string& group);

  // ---- Helpers for the factories ----
  // A description coordinate times the UI scale, cut toward zero and held
  // within +-2^24 so that rectangles built from it cannot overflow.
  int scaled(int value) const;
  static int clampCoordinate(double value);
  // Writes one line "CONFIG READER: <element> <what> SKIPPED: <reason>".
  void logSkipped(const std::string& element, const std::string& what, const std::string& reason) const;
  void log(const std::string& message) const;

  // ---- Accessors ----
  // The number of names held.
  size_t paramCount() const { return m_params.size(); }
  // A copy of the named value list; empty when there is none.
  std::vector<std::string> valueList(const std::string& name) const;
  size_t valueListCount() const { return m_valueLists.size(); }
  // The layer of that name, or null.
  ControlLayer* layer(const std::string& name) const;
  size_t layerCount() const { return m_layers.size(); }
  // The control made for "patchBrowser", or null.
  IControl* patchBrowser() const { return m_patchBrowser; }
  const std::vector<SysExContainer>& sysexContainers() const { return m_sysexContainers; }
  size_t imageCount() const { return m_images.size(); }
  int colourTheme() const { return m_colourTheme; }
  double uiScale() const { return m_uiScale; }
  IGraphics* graphics() const { return m_graphics; }
  IPluginBase* plug() const { return m_plug; }

  // Hands a record to the manager and binds it to parameter idx; the
  // record lives until the manager goes.
  ControlAction* adoptControlAction(int idx, std::unique_ptr<ControlAction> action);

 private:
  struct ImageInfo {
    int resourceId;
    int frames;
    bool sideBySide;
  };

  void walkLevel(tinyxml2::XMLNode* node, ControlLayer* parent, int offset, int depth);
  void walkElement(tinyxml2::XMLElement* element, ControlLayer* parent, int offset, int depth);
  // Appends a control to the parent layer, or attaches it at the top.
  void place(IControl* control, ControlLayer* parent);
  void placeLayer(ControlLayer* layer, ControlLayer* parent);

  LogSink m_log;
  IGraphics* m_graphics = nullptr;
  IPluginBase* m_plug = nullptr;
  UIConfigServices m_services;
  int m_colourTheme = 0;
  double m_uiScale = 1.0;

  std::map<std::string, int> m_params;
  std::string m_groupLabel;  // the last label built

  std::map<std::string, std::vector<std::string>> m_valueLists;
  std::map<std::string, ControlLayer*> m_layers;
  IControl* m_patchBrowser = nullptr;
  int m_walked = 0;  // elements visited by the walk

  std::vector<SysExContainer> m_sysexContainers;

  std::map<std::string, ImageInfo> m_images;
  bool m_releasing = false;

  std::vector<std::unique_ptr<ControlAction>> m_actions;
};

namespace uiconfig {

// The enciphered form of a description: the text, one zero byte, zero
// padding to whole blocks, each block enciphered with the resource key.
std::vector<uint8_t> encipherDescription(std::string_view text);
// The text of an enciphered description: every block deciphered (a last
// partial block with zeros after it), cut before the first zero byte.
std::string decipherDescription(const uint8_t* data, size_t size);

}  // namespace uiconfig
