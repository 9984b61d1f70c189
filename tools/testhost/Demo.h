#pragma once
// The demonstration run of the plug-in module in the test host: the editor
// opened, the synthesizer's ports chosen in its window, an edit sent, pattern
// steps edited in quick succession, banks requested and stored through the
// librarian's menus, the window saved as a picture and the project's state
// handed to a fresh instance. Every step goes through the editor's window
// (clicks, drags and menu choices in view terms, menus answered from the
// test table's script) and checks what the synthesizer side saw.
//
// The synthesizer is either the simulated one inside this process, on the
// module's in-process loopback ports, or the synthsim program on real ports
// (JACK), talked to through its command pipe and its output file.
#include <iosfwd>
#include <string>

namespace testhost {

struct DemoOptions {
  std::string module;      // the plug-in module's path
  std::string outFolder;   // where the window's picture and the bank chunk go
  bool window = false;     // show the editor in a window of its own on the display
  bool jack = false;       // the synthsim program on JACK instead of the loopback
  std::string synthName = "Sorrel Synth";  // its client name (JACK)
  std::string synthCommands;  // its standard input (a named pipe)
  std::string synthOutput;    // its standard output (a file)
};

// Runs the steps, printing a line for each check. Returns 0 when every
// check held, 1 otherwise.
int runDemo(const DemoOptions& options, std::ostream& out);

}  // namespace testhost
