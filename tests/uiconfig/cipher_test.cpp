// The resource cipher, the encipher tool and the reading of enciphered
// descriptions.
#include <gtest/gtest.h>

#include <tinyxml2.h>

#include <cstdio>
#include <filesystem>
#include <cstring>
#include <string>
#include <vector>

#include "support_uiconfig.h"
#include "uiconfig/Tea.h"

namespace {

const uint32_t kZeroKey[4] = {0, 0, 0, 0};
const uint32_t kKey[4] = {0x01234567u, 0x89ABCDEFu, 0xFEDCBA98u, 0x76543210u};

TEST(Tea, ZeroKeyVectorRoundTripsAndBlockLengths) {
  Tea tea;
  unsigned char block[8] = {};
  tea.simpleencrypt(block, kZeroKey);
  const unsigned char expected[8] = {0x41, 0xEA, 0x3A, 0x0A, 0x94, 0xBA, 0xA9, 0x40};
  EXPECT_EQ(std::memcmp(block, expected, 8), 0);
  tea.simpledecrypt(block, kZeroKey);
  EXPECT_EQ(std::memcmp(block, "\0\0\0\0\0\0\0\0", 8), 0);
  // The byte operations are the word operations on big-endian words.
  unsigned char text[8] = {'<', 'a', '>', 'x', '<', '/', 'a', '>'};
  uint32_t words[2] = {0x3C613E78u, 0x3C2F613Eu};
  tea.simpleencrypt(text, kKey);
  tea.encryptTea(words, kKey);
  EXPECT_EQ(words[0], (uint32_t)text[0] << 24 | text[1] << 16 | text[2] << 8 | text[3]);
  tea.decryptTea(words, kKey);
  tea.simpledecrypt(text, kKey);
  EXPECT_EQ(words[1], 0x3C2F613Eu);
  EXPECT_EQ(std::memcmp(text, "<a>x</a>", 8), 0);

  std::vector<unsigned char> buf(32, 0x55);
  uint32_t len = 13;
  EXPECT_EQ(tea.encryptBlock(buf.data(), &len, kKey), 3u);
  EXPECT_EQ(len, 24u);
  EXPECT_EQ(tea.decryptBlock(buf.data(), &len, kKey), 13u);
  EXPECT_EQ(buf[12], 0x55);
  // Below one block nothing is deciphered; a trailer that claims more than
  // was deciphered is limited to it.
  len = 7;
  EXPECT_EQ(tea.decryptBlock(buf.data(), &len, kKey), 0u);
  uint32_t lying[4] = {0, 0, 0, 1000000};
  tea.encryptTea(lying, kKey);
  tea.encryptTea(lying + 2, kKey);
  len = 16;
  EXPECT_EQ(tea.decryptBlock(reinterpret_cast<unsigned char*>(lying), &len, kKey), 16u);
}

// Runs the tool; its standard error comes back in err.
int runTool(const std::string& source, const std::string& output, std::string* err) {
  const std::string errFile = output + ".err";
  const std::string cmd = std::string("'") + TAVRIN_FILEENCRYPT + "' '" + source + "' '" + output + "' 2>'" + errFile + "'";
  const int status = std::system(cmd.c_str());
  const std::vector<uint8_t> e = testsupport::readFile(errFile);
  err->assign(e.begin(), e.end());
  std::remove(errFile.c_str());
  return status;
}

TEST(ResourceFiles, ToolAndReaderGiveBackEverySourceByteForByte) {
  uitest::Window w;
  w.buildQuietly();
  testsupport::TempDir src;
  for (int extra = 0; extra < 8; ++extra) {
    // "<a>" + filler + "</a>" + a blank line: 16 + extra bytes.
    std::string text = "<a>" + std::string(6 + extra, 'x') + "</a>\n\n";
    text.insert(3, "\t");
    ASSERT_EQ(text.size() % 8, (size_t)extra);
    const std::string name = "d" + std::to_string(extra) + ".tea";
    ASSERT_TRUE(testsupport::writeFile(src.file("d.xml"), text));
    std::string err;
    ASSERT_EQ(runTool(src.file("d.xml"), w.res() + name, &err), 0) << err;
    EXPECT_EQ(testsupport::readFile(w.res() + name).size(), text.size() / 8 * 8 + 8);
    std::string back;
    ASSERT_TRUE(w.ui->readEnciphered(0, ("resources/" + name).c_str(), back));
    EXPECT_EQ(back, text) << extra;
    // A file cut inside its last block is deciphered with zeros after it.
    auto bytes = testsupport::readFile(w.res() + name);
    bytes.resize(bytes.size() - 3);
    EXPECT_EQ(uiconfig::decipherDescription(bytes.data(), bytes.size()).substr(0, 8), text.substr(0, 8));
  }
  EXPECT_TRUE(w.lines.empty());
}

TEST(ResourceFiles, ToolRefusesASourceThatDoesNotParse) {
  testsupport::TempDir dir;
  ASSERT_TRUE(testsupport::writeFile(dir.file("bad.xml"), "<a>\n<b>\n</a>\n"));
  std::string err;
  EXPECT_NE(runTool(dir.file("bad.xml"), dir.file("bad.tea"), &err), 0);
  EXPECT_NE(err.find(dir.file("bad.xml") + ":2:"), std::string::npos) << err;
  EXPECT_FALSE(testsupport::fileExists(dir.file("bad.tea")));
  int files = 0;
  for (const auto& f : std::filesystem::directory_iterator(dir.path())) files += f.is_regular_file();
  EXPECT_EQ(files, 1);  // the source alone: no output, no temporary file
}

TEST(ResourceFiles, TextEndsAtTheFirstZeroByte) {
  uitest::Window w;
  w.buildQuietly();
  std::vector<uint8_t> plain = {'<', 'a', '/', '>', 0, '<', 'b', '>', 'j', 'u', 'n', 'k'};
  while (plain.size() % 8) plain.push_back('q');
  std::vector<uint8_t> enc = uiconfig::encipherDescription(std::string(plain.begin(), plain.end()));
  EXPECT_EQ(uiconfig::decipherDescription(enc.data(), enc.size()), "<a/>");
  uitest::writeDescription(w.res(), "z.tea", "<uiconfig><layer name=\"l\"/></uiconfig>");
  tinyxml2::XMLDocument doc;
  EXPECT_TRUE(w.ui->readDescription(0, "resources/z.tea", doc));
}

}  // namespace
