#pragma once
// The shared display of the last change: the parameter's name in the name
// line and a text for its value in the value line, following the
// instrument's conventions (signed offsets, pan positions, percentages,
// on/off words and the entries of the description's value lists).
//
// Threads: called with the editor lock held, from the dispatch (the GUI or
// the host's thread) and from the hardware value path (the thread applying
// the instrument's value). Stores nothing.
#include <string>

class Tavrin;

class ControlDisplay {
 public:
  // Shows the parameter's name and its value's text; nothing for the
  // parameters that never show, before the editor is ready, or for a
  // parameter without a name while the host's transport runs.
  static void controlDisplay(Tavrin* plug, int paramIdx, double value, bool transportRunning);
  // The value as a whole number ("%.0f").
  static std::string getValueString(double value);
  // The value text of a parameter for the whole value v and the current
  // whole value iv (list entries); false for a plain number.
  static bool valueText(const Tavrin& plug, int paramIdx, int v, int iv, std::string& text);
};
