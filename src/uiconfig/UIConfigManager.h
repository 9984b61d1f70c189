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
// during construction (readUIConfig with all it calls, and the plug-in's own
// createAutoOffSwitchControl calls); the accessors and the three look-up
// containers are read afterwards under the plug-in's mutex, from any thread
// that holds it (the editor's user-interface thread, the MIDI input thread). The manager takes no lock of
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
#include "hardware/ControlContainers.h"
#include "uiconfig/ControlAction.h"

namespace tinyxml2 {
class XMLDocument;
class XMLElement;
class XMLNode;
}  // namespace tinyxml2

class ControlLayer;
class IControl;
class IGraphics;
class IParam;
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
  // Builds the control a record asks for, with the argument order of its
  // factory.
  void createControl(const ControlArguments& args);

  // ---- Factories ----
  // Each initialises its parameter, makes its control and places it in the
  // layer (attached to the graphics context without one). The bound ones
  // make or take the parameter's ControlAction, set its type and keys,
  // append the control and register it in a look-up container. A factory
  // that declines (a parameter outside the plug-in, a missing system-
  // exclusive entry or template, a count out of bounds, a menu without
  // texts) makes no control, record or container entry and writes one
  // SKIPPED line; positions are as written and scaled here.
  //
  // Bound to a control change or an NRPN address.
  void createCCKnobControl(int cc, int ch, const std::string& name, int idx, int x, int y, const std::string& img,
                           double def, double min, double max, double step, LinkInfo link, int timbre,
                           ControlLayer* layer, const std::string& grp);
  void createCCBoolControl(int cc, int ch, const std::string& name, int idx, int x, int y, const std::string& img,
                           double def, double min, double max, LinkInfo link, int timbre, ControlLayer* layer,
                           const std::string& grp);
  void createCCSliderControl(int cc, int ch, const std::string& name, int idx, int x, int y, int length,
                             const std::string& img, double def, double min, double max, LinkInfo link, int timbre,
                             ControlLayer* layer, const std::string& grp, EDirection direction, bool unused);
  void createMultiSelectionCCControl(int cc, int ch, const std::string& name, int idx, int x, int y, int width,
                                     int height, int def, int min, int max, int first, int last,
                                     const std::vector<std::string>& values, int timbre, ControlLayer* layer,
                                     const std::string& grp);
  void createMsbLsbKnobControl(int cc, int msbValue, int lsbValue, int lsbControl, int ch, const std::string& name,
                               int idx, int x, int y, const std::string& img, double def, double min, double max,
                               double unused, LinkInfo link, int timbre, ControlLayer* layer, const std::string& grp);
  void createMsbLsbBoolControl(int cc, int msbValue, int lsbValue, int lsbControl, int ch, const std::string& name,
                               int idx, int x, int y, const std::string& img, double def, double min, double max,
                               LinkInfo link, int timbre, ControlLayer* layer, const std::string& grp);
  void createMsbLsbSelectionCCControl(int cc, int msbValue, int lsbValue, int lsbControl, int ch,
                                      const std::string& name, int idx, int x, int y, int width, int height, int def,
                                      int min, int max, int first, int last, const std::vector<std::string>& values,
                                      int timbre, ControlLayer* layer, const std::string& grp);
  // Unbound: the editor's own switches, groups, menus and displays. All but
  // the three "no value" ones give the parameter a type-0 record.
  void createBoolControl(const std::string& name, int idx, int def, int x, int y, const std::string& img, int timbre,
                         ControlLayer* layer, const std::string& grp);
  void createSwitchControl(const std::string& name, int idx, int def, int x, int y, const std::string& img,
                           int timbre, ControlLayer* layer, const std::string& grp);
  // Called by the plug-in's constructor; returns the control (null when it
  // declines). The group label is built from timbre and grp.
  IControl* createAutoOffSwitchControl(const std::string& name, int idx, int x, int y, const std::string& img,
                                       int timbre, ControlLayer* layer, const std::string& grp);
  void createRadioControl(const std::string& name, int idx, int x, int y, const std::string& img, int buttons,
                          int timbre, ControlLayer* layer, const std::string& grp);
  void createNoValKnobControl(const std::string& name, int idx, int x, int y, const std::string& img, double def,
                              double min, double max, double unused, int timbre, ControlLayer* layer,
                              const std::string& grp);
  void createNoValBoolControl(const std::string& name, int idx, int x, int y, const std::string& img, double def,
                              int timbre, ControlLayer* layer, const std::string& grp);
  void createNoValDropDown(const std::string& name, int idx, int x, int y, int width, int height, int def, int min,
                           int max, int first, int last, int visible, const std::vector<std::string>& values,
                           int timbre, ControlLayer* layer, const std::string& grp, bool white);
  void createDropDownMenu(const std::string& name, int idx, int b1, int b2, int b3, int b4, int timbre,
                          ControlLayer* layer, const std::string& grp);
  void createDropDownMenu2(const std::string& name, int idx, int b1, int b2, int b3, int b4, int def, int min,
                           int max, const std::vector<std::string>& values, int timbre, ControlLayer* layer,
                           const std::string& grp);
  void createMIDIDeviceSelectionControl(const std::string& name, int idx, int b1, int b2, int b3, int b4, int input,
                                        int timbre, ControlLayer* layer, const std::string& grp);
  void createControlDisplay(const std::string& name, int idx, int b1, int b2, int b3, int b4, int timbre,
                            ControlLayer* layer, const std::string& grp, int size);
  void createNameDisplay(const std::string& name, int idx, int b1, int b2, int b3, int b4, int nameLen, int timbre,
                         ControlLayer* layer, const std::string& grp);
  // Bound to a system-exclusive message of entry sx of the list: one ready
  // message per value, registered under bytes of message 0.
  void createSysExBoolControl(const std::string& name, int idx, int x, int y, const std::string& img, double def,
                              int zero, int sx, int chb, int off, LinkInfo link, ControlLayer* par,
                              const std::string& grp);
  void createSysExKnobControl(const std::string& name, int idx, int x, int y, const std::string& img, double def,
                              double min, double max, double unused, int zero, int sx, int chb, int off,
                              LinkInfo link, ControlLayer* par, const std::string& grp);
  void createSysExKnobControl2(const std::string& name, int idx, int x, int y, const std::string& img, double def,
                               double min, double max, double unused, int zero, int sx, int chb, int off,
                               LinkInfo link, ControlLayer* par, const std::string& grp);
  void createSysExSliderControl(const std::string& name, int idx, int x, int y, int len, const std::string& img,
                                double def, double min, double max, double unused, int zero, int sx, int chb, int off,
                                LinkInfo link, ControlLayer* par, const std::string& grp, EDirection direction,
                                bool unused2);
  void createMultiSelectionSysExControl(const std::string& name, int idx, int x, int y, int width, int height,
                                        int def, int min, int max, int da, int db,
                                        const std::vector<std::string>& values, int zero, int col, int sx, int chb,
                                        int off, ControlLayer* par, const std::string& grp);

  // The face of every menu and display text; no installed family has this
  // name, so the text engine takes its monospaced face.
  static constexpr const char* kMenuFont = "Panel Mono";
  // Layers whose CC and NRPN controls key by the element's channel and, for
  // knobs and menus, the mixer flag 1.
  static bool isMixerLayer(const ControlLayer* layer);
  // The mixer layers and the additional settings pages, for the NRPN switch.
  static bool isMixerOrSettingsLayer(const ControlLayer* layer);
  // The four key bytes of a system-exclusive message for the changing byte
  // (1-based): bytes 2-5 for 7, else bytes 3-6. False when the message is
  // too short.
  static bool sysexKeyBytes(const SysexMessageInts& message, int changingByte, unsigned char key[4]);

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
  // The named value list itself, or null; valid until the description is
  // read again.
  const std::vector<std::string>* findValueList(const std::string& name) const;
  size_t valueListCount() const { return m_valueLists.size(); }
  // The layer of that name, or null.
  ControlLayer* layer(const std::string& name) const;
  size_t layerCount() const { return m_layers.size(); }
  // The control made for "patchBrowser", or null.
  IControl* patchBrowser() const { return m_patchBrowser; }
  const std::vector<SysExContainer>& sysexContainers() const { return m_sysexContainers; }
  // The look-up containers of incoming messages, filled by the factories.
  const CCControlMap& ccMap() const { return m_ccMap; }
  const NRPNControlContainer& nrpnControls() const { return m_nrpnControls; }
  const SysExControlContainer& sysExControls() const { return m_sysExControls; }
  // How many records the manager holds.
  size_t actionCount() const { return m_actions.size(); }
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

  // ---- Shared steps of the factories ----
  // One SKIPPED line for the running element (or the factory's name).
  void skip(const char* factory, const std::string& name, int idx, const std::string& reason) const;
  // The parameter a factory initialises; null, with one SKIPPED line, for
  // an index outside the plug-in's parameters.
  IParam* factoryParam(const char* factory, const std::string& name, int idx) const;
  // The parameter's record with its type set, made (initial values) when
  // the parameter has none.
  ControlAction* bindAction(int idx, int type);
  // Stores the link in the record and gives the linked parameter a record
  // (type 6 when new) linking back; nothing for a linked index outside the
  // plug-in's parameters.
  void linkStep(ControlAction* action, int idx, const LinkInfo& link);
  // "[k+1] name" inside copy k, else the name.
  static std::string displayName(int timbre, const std::string& name);
  IRECT boundsRect(int b1, int b2, int b3, int b4) const;
  IText menuText(int size, const IColor& color) const;
  // The display texts of a menu of n values: the list when it holds exactly
  // n texts, else first + i (with the prefix before numbers below 10) when
  // first and last differ. False when neither applies.
  static bool setMenuTexts(IParam* param, int n, const std::vector<std::string>& values, int first, int last,
                           const char* prefix = "");
  // A menu's parameter: InitEnum with n values and their texts. False, with
  // one SKIPPED line, for more than kMaxMessages values (nothing done) or
  // no texts (the parameter stays initialised).
  bool initMenu(const char* factory, IParam* param, const std::string& label, int idx, int def, long long n,
                const std::vector<std::string>& values, int first, int last, const std::string& group,
                const char* prefix = "");
  // The shared body of the CC and NRPN menus (type 1 or 3).
  void boundMenu(const char* factory, int type, int cc, int msbValue, int lsbValue, int lsbControl, int ch,
                 const std::string& name, int idx, int x, int y, int width, int height, int def, int min, int max,
                 int first, int last, const std::vector<std::string>& values, int timbre, ControlLayer* layer,
                 const std::string& grp, const IColor& color);
  // What a CC or NRPN factory writes into the record besides the control.
  struct BoundKeys {
    int type;  // 1, 2 or 3
    int cc, msbValue = -1, lsbValue = -1, lsbControl = -1;
    int channel, mixerFlag;
    bool link;
    bool range = false;  // the switches: minValue and maxValue
    double min = 0, max = 0;
  };
  // Places the control, makes or takes the record, links, sets the keys,
  // appends the control and registers it (CC map, or the NRPN container
  // for type 3).
  void bindControl(IControl* control, ControlLayer* layer, int idx, const BoundKeys& keys, const LinkInfo& link);
  // The shared body of the system-exclusive factories: the messages of
  // entry sx, the control made by make, the record and the registration.
  struct SysexPlan {
    int type, count, start;
    bool link;
  };
  void sysexControl(const char* factory, const std::string& name, int idx, int sx, int chb, int off,
                    const LinkInfo& link, ControlLayer* par, const SysexPlan& plan,
                    const std::function<IControl*()>& make);
  // The unbound family's record, made or taken with type 0, with the control.
  void unboundRecord(int idx, IControl* control);
  // The body of the plain and the momentary switch; the control, or null.
  IControl* switchControl(const char* factory, bool momentary, const std::string& name, int idx, int def, int x,
                          int y, const std::string& img, int timbre, ControlLayer* layer, const std::string& grp);

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
  CCControlMap m_ccMap;
  NRPNControlContainer m_nrpnControls;
  SysExControlContainer m_sysExControls;
  std::string m_element;  // the element whose factory runs, for log lines
};

namespace uiconfig {

// The enciphered form of a description: the text, one zero byte, zero
// padding to whole blocks, each block enciphered with the resource key.
std::vector<uint8_t> encipherDescription(std::string_view text);
// The text of an enciphered description: every block deciphered (a last
// partial block with zeros after it), cut before the first zero byte.
std::string decipherDescription(const uint8_t* data, size_t size);

}  // namespace uiconfig
