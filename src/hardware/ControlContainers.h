#pragma once
// Maps that lead an incoming message to the control showing its value.
//
// Each container is a tree of ordered int-keyed maps, one level per key, with
// the control at the bottom. The control factories bind controls while the
// window is built; the incoming-message paths look them up. Binding creates
// missing levels and replaces a control already bound under the same keys;
// looking up creates nothing and allocates nothing. The containers do not
// own the controls (the graphics context does).
#include <array>
#include <cstddef>
#include <map>
#include <type_traits>

class IControl;

// The levels, from the bottom up.
typedef std::map<int, IControl*> ccControlMap;
typedef std::map<int, ccControlMap> controlID3;
typedef std::map<int, controlID3> controlID2;
typedef std::map<int, controlID2> controlID1;

namespace controlmaps {

template <class Map>
void bind(Map& map, const int* keys, IControl* control) {
  if constexpr (std::is_same_v<typename Map::mapped_type, IControl*>) {
    map.insert_or_assign(keys[0], control);
  } else {
    bind(map[keys[0]], keys + 1, control);
  }
}

template <class Map>
IControl* find(const Map& map, const int* keys) {
  auto it = map.find(keys[0]);
  if (it == map.end()) return nullptr;
  if constexpr (std::is_same_v<typename Map::mapped_type, IControl*>) {
    return it->second;
  } else {
    return find(it->second, keys + 1);
  }
}

// A tree of maps with one int key per level.
template <class Map, size_t Levels>
class KeyedControls {
 public:
  bool empty() const { return m_map.empty(); }

 protected:
  void bindKeys(const std::array<int, Levels>& keys, IControl* control) { bind(m_map, keys.data(), control); }
  IControl* findKeys(const std::array<int, Levels>& keys) const { return find(m_map, keys.data()); }

 private:
  Map m_map;
};

}  // namespace controlmaps

// Keyed by four identifying bytes of a system-exclusive message and an extra
// key byte (0 from every factory). An incoming single-parameter message is
// looked up with its bytes 3 to 6 and 0.
class SysExControlContainer : public controlmaps::KeyedControls<std::map<int, controlID1>, 5> {
 public:
  void addToControlMap(const unsigned char* keyBytes, unsigned char key5, IControl* control) {
    bindKeys({keyBytes[0], keyBytes[1], keyBytes[2], keyBytes[3], key5}, control);
  }
  IControl* findControl(int key1, int key2, int key3, int key4, int key5) const {
    return findKeys({key1, key2, key3, key4, key5});
  }
};

// Keyed by an NRPN-bound control action's MIDI channel, MSB number (sent
// with CC 99), value offset, LSB number (sent with CC 98) and mixer flag.
class NRPNControlContainer : public controlmaps::KeyedControls<std::map<int, controlID1>, 5> {
 public:
  void addToControlMap(int channel, int msbValue, int lsbValue, int lsbControl, int mixerFlag, IControl* control) {
    bindKeys({channel, msbValue, lsbValue, lsbControl, mixerFlag}, control);
  }
  // For the control action record, which carries the five keys as fields.
  template <class Action>
  void addToControlMap(const Action* action, IControl* control) {
    addToControlMap(action->channel, action->msbValue, action->lsbValue, action->lsbControl, action->mixerFlag,
                    control);
  }
  IControl* findControl(int channel, int msbValue, int lsbValue, int lsbControl, int mixerFlag) const {
    return findKeys({channel, msbValue, lsbValue, lsbControl, mixerFlag});
  }
};

// The three-level map of controls bound to control changes: channel, CC
// number, mixer flag.
class CCControlMap : public controlmaps::KeyedControls<std::map<int, controlID3>, 3> {
 public:
  void addToControlMap(int channel, int ccNumber, int mixerFlag, IControl* control) {
    bindKeys({channel, ccNumber, mixerFlag}, control);
  }
  IControl* findControl(int channel, int ccNumber, int mixerFlag) const { return findKeys({channel, ccNumber, mixerFlag}); }
};
