#include "shim/winprofile.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

#include <climits>
#include <csignal>
#include <cstring>
#include <string>

#include "testsupport.h"

namespace {

using testsupport::TempDir;

std::string fileText(const std::string& path) {
  const auto b = testsupport::readFile(path);
  return std::string(b.begin(), b.end());
}

std::string get(const char* sec, const char* key, const std::string& file, int size = 256) {
  char buf[256];
  const DWORD n = GetPrivateProfileString(sec, key, "dflt", buf, size, file.c_str());
  return std::string(buf, n);
}

// The folder holds no temporary file the writer left behind.
bool onlyFiles(const TempDir& dir, int count) {
  int n = 0;
  for (const char* name : {".p.ini.new", ".q.ini.new"}) n -= testsupport::fileExists(dir.file(name)) ? 100 : 0;
  struct stat st;
  for (const char* name : {"p.ini", "q.ini"}) n += stat(dir.file(name).c_str(), &st) == 0;
  return n == count;
}

TEST(Profile, ReadsBlanksQuotesRepeatsAndInts) {
  TempDir dir;
  const std::string f = dir.file("p.ini");
  ASSERT_TRUE(testsupport::writeFile(f, std::string("junk=1\n[Sec]\nKey = value \nq1='x y'\nq2='\nq3=\"a'\n"
                                                    "dup=1\ndup=2\n[other]\na=0\n[sec]\nn0=0\nn42=42abc\n"
                                                    "nabc=abc\nnm0=-0\nbig=99999999999\nsmall=-99999999999\n"
                                                    "  Key = value \n")));
  // the second [sec] replaced the first; its key keeps the blank before '='
  EXPECT_EQ(get("SEC", "key ", f), "value");
  EXPECT_EQ(get("sec", "q1", f), "dflt");
  EXPECT_EQ(get("OTHER", "A", f), "0");
  EXPECT_EQ(get("sec", "key ", f, 4), "val");
  ASSERT_TRUE(testsupport::writeFile(f, std::string("[s]\nq1='x y'\nq2='\nq3=\"a'\ndup=1\ndup=2\n")));
  for (auto [key, want] : {std::pair{"q1", "x y"}, {"q2", "'"}, {"q3", "\"a'"}, {"dup", "2"}})
    EXPECT_EQ(get("s", key, f), want) << key;
  ASSERT_TRUE(testsupport::writeFile(f, std::string("[s]\nn0=0\nn42=42abc\nnabc=abc\nnm0=-0\nbig=99999999999\n"
                                                    "small=-99999999999\n")));
  for (auto [key, want] : {std::pair{"n0", 0}, {"n42", 42}, {"nabc", 7}, {"nm0", 7}, {"big", INT_MAX},
                           {"small", INT_MIN}, {"none", 7}})
    EXPECT_EQ(GetPrivateProfileInt("s", key, 7, f.c_str()), want) << key;
}

TEST(Profile, WritesExactlyTheSortedLayoutAndNothingWhenUnchanged) {
  TempDir dir;
  const std::string f = dir.file("p.ini");
  ASSERT_TRUE(testsupport::writeFile(f, std::string("[b]\nz=1\ny=2\n[A]\nk=v\n")));
  ASSERT_EQ(chmod(f.c_str(), 0640), 0);
  EXPECT_EQ(WritePrivateProfileString("B", "x", " 3", f.c_str()), 1);
  EXPECT_EQ(fileText(f), "[A]\nk=v\n\n[b]\nx= 3\ny=2\nz=1\n\n");
  struct stat before, after;
  ASSERT_EQ(stat(f.c_str(), &before), 0);
  EXPECT_EQ(before.st_mode & 0777, 0640u);
  utimbuf old{1000, 1000};
  ASSERT_EQ(utime(f.c_str(), &old), 0);
  const uint64_t parses = SHIM_ProfileParseCount();
  EXPECT_EQ(WritePrivateProfileString("b", "X", " 3", f.c_str()), 1);  // the same value
  EXPECT_EQ(SHIM_ProfileParseCount(), parses + 1);                     // the touched file was read again
  EXPECT_EQ(get("b", "x", f), "3");
  EXPECT_EQ(SHIM_ProfileParseCount(), parses + 1);  // a hit
  ASSERT_EQ(stat(f.c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);
  EXPECT_EQ(after.st_mtime, 1000);
  // deletions, sections and structs
  EXPECT_EQ(WritePrivateProfileString("b", "y", nullptr, f.c_str()), 1);
  EXPECT_EQ(WritePrivateProfileString("a", nullptr, nullptr, f.c_str()), 1);
  const char entries[] = "k2=v2\0noequals\0k1=a=b\0k2=last\0";
  EXPECT_EQ(WritePrivateProfileSection("new", entries, f.c_str()), 1);
  const unsigned char bytes[] = {0x12, 0xF0};
  EXPECT_EQ(WritePrivateProfileStruct("b", "s", bytes, 2, f.c_str()), 1);
  EXPECT_EQ(fileText(f), "[b]\ns=12F002\nx= 3\nz=1\n\n[new]\nk1=a=b\nk2=last\n\n");
  EXPECT_TRUE(onlyFiles(dir, 1));
  unsigned char out[3] = {9, 9, 9};
  EXPECT_EQ(GetPrivateProfileStruct("b", "s", out, 3, f.c_str()), 0);
  EXPECT_EQ(out[0], 9);
  EXPECT_EQ(GetPrivateProfileStruct("b", "s", out, 2, f.c_str()), 1);
  EXPECT_EQ(out[0], 0x12);
  EXPECT_EQ(out[1], 0xF0);
  ASSERT_EQ(WritePrivateProfileString("b", "s", "12F003", f.c_str()), 1);  // wrong checksum: nothing copied
  out[0] = 9;
  EXPECT_EQ(GetPrivateProfileStruct("b", "s", out, 2, f.c_str()), 0);
  EXPECT_EQ(out[0], 9);
}

TEST(Profile, ListsAndSectionsWithSmallBuffers) {
  TempDir dir;
  const std::string f = dir.file("p.ini");
  ASSERT_TRUE(testsupport::writeFile(f, std::string("[b]\nk=\"v\"\nj=1\n[a]\n")));
  char buf[64];
  struct Case {
    const char* sec;
    bool section;  // GetPrivateProfileSection rather than a name list
    int size;
    DWORD result;
    std::string bytes;
  } cases[] = {
      {nullptr, false, 64, 3, std::string("a\0b\0\0", 5)}, {nullptr, false, 4, 2, std::string("a\0\0\0", 4)},
      {"b", false, 64, 3, std::string("j\0k\0\0", 5)},     {"a", false, 64, 0, std::string("\0\0", 2)},
      {"b", true, 64, 8, std::string("j=1\0k=v\0\0", 9)},   {"b", true, 6, 4, std::string("j=1\0\0\0", 6)},
      {"zz", true, 64, 0, std::string("\0\0", 2)},          {nullptr, false, 1, 0, std::string("\0", 1)},
      {"b", true, 1, 0, std::string("\0", 1)},
  };
  for (const Case& c : cases) {
    std::memset(buf, 'X', sizeof buf);
    const DWORD n = c.section ? GetPrivateProfileSection(c.sec, buf, c.size, f.c_str())
                              : GetPrivateProfileString(c.sec, nullptr, nullptr, buf, c.size, f.c_str());
    EXPECT_EQ(n, c.result) << (c.sec ? c.sec : "-") << c.size;
    EXPECT_EQ(std::string(buf, c.bytes.size()), c.bytes) << (c.sec ? c.sec : "-") << c.size;
    EXPECT_EQ(buf[c.bytes.size()], 'X');
  }
  buf[0] = 'X';
  EXPECT_EQ(GetPrivateProfileString("b", "k", "d", buf, 0, f.c_str()), 0u);
  EXPECT_EQ(buf[0], 'X');
}

TEST(Profile, RefusesTextTheFileCannotHold) {
  TempDir dir;
  const std::string f = dir.file("p.ini");
  ASSERT_TRUE(testsupport::writeFile(f, std::string("[s]\nk=v\n")));
  const char* bad[][3] = {{"s]", "k", "v"}, {"s\n", "k", "v"}, {"", "k", "v"},      {"s", "a=b", "v"},
                          {"s", "k\r", "v"}, {"s", " k", "v"},  {"s", "[x]k", "v"}, {"s", "k", "v\nk2=w"},
                          {"s", "", "v"},    {nullptr, "k", "v"}};
  for (auto& b : bad) EXPECT_EQ(WritePrivateProfileString(b[0], b[1], b[2], f.c_str()), 0) << b[1] << b[2];
  EXPECT_EQ(WritePrivateProfileSection("s", "a=1\0b=2\r\0", f.c_str()), 0);
  EXPECT_EQ(WritePrivateProfileString("s", "k", "v", nullptr), 0);
  EXPECT_EQ(fileText(f), "[s]\nk=v\n");
  EXPECT_EQ(get("s", "a", f), "dflt");
}

TEST(Profile, PathsMatchExactlyAndTheLeastRecentlyUsedSlotIsReused) {
  TempDir dir;
  ASSERT_EQ(WritePrivateProfileString("s", "k", "upper", dir.file("A.ini").c_str()), 1);
  ASSERT_EQ(WritePrivateProfileString("s", "k", "lower", dir.file("a.ini").c_str()), 1);
  EXPECT_EQ(get("s", "k", dir.file("A.ini")), "upper");
  EXPECT_EQ(fileText(dir.file("a.ini")), "[s]\nk=lower\n\n");
  for (int i = 0; i < 32; ++i) get("s", "k", dir.file("f" + std::to_string(i)));
  get("s", "k", dir.file("f0"));  // f1 is now the oldest
  const int slot = SHIM_ProfileSlotOf(dir.file("f1").c_str());
  ASSERT_GE(slot, 0);
  get("s", "k", dir.file("f32"));
  EXPECT_EQ(SHIM_ProfileSlotOf(dir.file("f32").c_str()), slot);
  EXPECT_EQ(SHIM_ProfileSlotOf(dir.file("f1").c_str()), -1);
  EXPECT_GE(SHIM_ProfileSlotOf(dir.file("f0").c_str()), 0);
}

TEST(Profile, AFailedWriteReportsZeroAndLeavesTheFile) {
  TempDir dir;
  const std::string f = dir.file("p.ini");
  ASSERT_TRUE(testsupport::writeFile(f, std::string("[s]\nk=v\n")));
  // a stale temporary that is a link must not be followed
  const std::string other = dir.file("q.ini");
  ASSERT_TRUE(testsupport::writeFile(other, std::string("keep")));
  ASSERT_EQ(symlink(other.c_str(), dir.file(".p.ini.new").c_str()), 0);
  ASSERT_EQ(WritePrivateProfileString("s", "k", "w", f.c_str()), 1);
  EXPECT_EQ(fileText(other), "keep");
  EXPECT_EQ(fileText(f), "[s]\nk=w\n\n");

  rlimit old;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  auto* prev = signal(SIGXFSZ, SIG_IGN);
  rlimit small = old;
  small.rlim_cur = 64;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const BOOL r = WritePrivateProfileString("s", "big", std::string(200, 'x').c_str(), f.c_str());
  setrlimit(RLIMIT_FSIZE, &old);
  signal(SIGXFSZ, prev);
  EXPECT_EQ(r, 0);
  EXPECT_EQ(fileText(f), "[s]\nk=w\n\n");
  EXPECT_EQ(get("s", "big", f), "dflt");  // the cached change is gone
  EXPECT_TRUE(onlyFiles(dir, 2));

  if (geteuid() != 0) {  // permissions do not bind the superuser
    ASSERT_EQ(chmod(dir.path().c_str(), 0555), 0);
    EXPECT_EQ(WritePrivateProfileString("s", "k", "ro", f.c_str()), 0);
    chmod(dir.path().c_str(), 0755);
    EXPECT_EQ(get("s", "k", f), "w");
  }
}

TEST(Profile, AFileWithoutAnEarlySectionReadsEmpty) {
  TempDir dir;
  const std::string f = dir.file("p.ini");
  ASSERT_TRUE(testsupport::writeFile(f, std::string(262145, '\n') + "[s]\nk=v\n"));
  EXPECT_EQ(get("s", "k", f), "dflt");
  ASSERT_TRUE(testsupport::writeFile(f, std::string(262000, '\n') + "[s]\nk=v\n"));
  EXPECT_EQ(get("s", "k", f), "v");
}

}  // namespace
