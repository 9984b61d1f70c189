// fileencrypt <source.xml> <output.tea>
//
// Checks that the source parses as XML (whitespace preserved), then writes
// it enciphered as the reader expects: the text, one zero byte, zeros up to
// whole 8-byte blocks, every block enciphered with the resource key. The
// output is written under a temporary name and renamed, so a failed run
// leaves no output.
#include <tinyxml2.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "uiconfig/UIConfigManager.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: fileencrypt <source.xml> <output.tea>\n");
    return 2;
  }
  const std::string source = argv[1], output = argv[2];
  std::ifstream in(source, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "%s: cannot be read\n", source.c_str());
    return 1;
  }
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (text.find('\0') != std::string::npos) {
    std::fprintf(stderr, "%s: holds a zero byte\n", source.c_str());
    return 1;
  }
  tinyxml2::XMLDocument doc(true, tinyxml2::PRESERVE_WHITESPACE);
  if (doc.Parse(text.data(), text.size()) != tinyxml2::XML_SUCCESS) {
    std::fprintf(stderr, "%s:%d: %s\n", source.c_str(), doc.ErrorLineNum(), doc.ErrorStr());
    return 1;
  }

  const std::vector<uint8_t> bytes = uiconfig::encipherDescription(text);
  const std::string temporary = output + ".tmp" + std::to_string((long)getpid());
  FILE* f = std::fopen(temporary.c_str(), "wb");
  bool ok = f && std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  if (f) ok = std::fclose(f) == 0 && ok;
  if (!ok || std::rename(temporary.c_str(), output.c_str()) != 0) {
    std::remove(temporary.c_str());
    std::fprintf(stderr, "%s: cannot be written\n", output.c_str());
    return 1;
  }
  return 0;
}
