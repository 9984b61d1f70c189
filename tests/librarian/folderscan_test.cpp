// The folder scan on data folders built by the tests: order and size rules,
// splits, conversions and moves, the log lines, the rescan, and the promise
// that no user file is lost whatever the file system does.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <Poco/File.h>
#include <Poco/Path.h>

#include "librarian/BankFormats.h"
#include "librarian/PatchLibrarian.h"
#include "platform/folders.h"
#include "support_banks.h"
#include "testsupport.h"

namespace fs = std::filesystem;
using banks::Bytes;
using banks::Names;
using testsupport::readFile;

namespace {

// A raw bank of n model 2 dumps named "PATCH nn".
Bytes bankOf(int n, int seed = 0) { return banks::rawBank(banks::namedDumps(n, seed)); }

// n model 1 dumps of 91 bytes (name and category included), and their raw bank.
std::vector<Bytes> model1Dumps(int n, int seed = 0) {
  std::vector<Bytes> dumps;
  for (int i = 0; i < n; ++i) dumps.push_back(banks::model1Dump(91, seed + i));
  return dumps;
}
Bytes model1Bank(int n) { return banks::rawBank(model1Dumps(n)); }

// A data folder with a "Patches" folder, and a librarian whose log lines
// are collected.
struct ScanFixture {
  testsupport::ScopedFolders folders;
  std::string data = folders.data();
  std::string patches = data + "Patches";
  std::string converted = data + "Converted Banks/";
  Names lines;
  PatchLibrarian lib;
  // The sources put by putOldAndBig: a model 1 bank and a bank to split.
  Bytes old = model1Bank(30), big = bankOf(150, 3);

  ScanFixture() {
    fs::create_directories(patches);
    lib.hooks.logLine = [this](const std::string& l) { lines.push_back(l); };
  }

  std::string put(const std::string& rel, const Bytes& bytes) {
    const std::string path = patches + "/" + rel;
    fs::create_directories(fs::path(path).parent_path());
    EXPECT_TRUE(testsupport::writeFile(path, bytes));
    return path;
  }
  void putOldAndBig() {
    put("old.syx", old);
    put("big.syx", big);
  }
  void expectOldAndBigInPlace() const {
    EXPECT_EQ(readFile(patches + "/old.syx"), old);
    EXPECT_EQ(readFile(patches + "/big.syx"), big);
  }

  void scan() { lib.loadPatchesFromFilesystem(patches); }

  Names listedNames() const {
    Names v;
    for (const auto& f : lib.patchFiles) v.push_back(f->fileName);
    return v;
  }

  size_t count(const std::string& l) const { return static_cast<size_t>(std::count(lines.begin(), lines.end(), l)); }
};

std::string loaded(const std::string& path) { return "PATCH LIBRARIAN: loaded file " + path; }
std::string moved(const std::string& name) {
  return "PATCH LIBRARIAN: moved file " + name + " because it is not Sorrel 1 standard formatted!";
}
const std::string kRescanLine = "FOLDER RESCAN INITIATED BY PATCH LIBRARIAN";

// Every regular file below root (links not followed), path to content.
std::map<std::string, Bytes> snapshot(const std::string& root) {
  std::map<std::string, Bytes> out;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    if (it->is_symlink(ec)) continue;
    if (it->is_regular_file(ec)) out[it->path().string()] = readFile(it->path().string());
  }
  return out;
}

// Takes one copy of item out of pool; fails the test when there is none.
void expectTaken(std::multiset<Bytes>& pool, const Bytes& item, const std::string& what) {
  auto it = pool.find(item);
  EXPECT_TRUE(it != pool.end()) << what;
  if (it != pool.end()) pool.erase(it);
}

// Every content of before is found again somewhere in after.
void expectNothingLost(const std::map<std::string, Bytes>& before, const std::map<std::string, Bytes>& after) {
  std::multiset<Bytes> contents;
  for (const auto& [path, bytes] : after) contents.insert(bytes);
  for (const auto& [path, bytes] : before) expectTaken(contents, bytes, "lost: " + path);
}

// Every listed bank holds exactly 100 patches, every tree entry refers to a
// listed file, and the lists can be searched and rebuilt.
void expectUsable(PatchLibrarian& lib) {
  std::set<const PatchFile*> listed;
  for (const auto& f : lib.patchFiles) {
    ASSERT_TRUE(f);
    EXPECT_EQ(f->patches.size(), 100u) << f->fileName;
    listed.insert(f.get());
  }
  std::vector<const PatchFile*> placed;
  for (const auto& top : lib.bankFolders) {
    placed.insert(placed.end(), top->files.begin(), top->files.end());
    for (const auto& sub : top->subFolders) {
      placed.insert(placed.end(), sub.files.begin(), sub.files.end());
      for (const auto& third : sub.subFolders) placed.insert(placed.end(), third.files.begin(), third.files.end());
    }
  }
  for (const PatchFile* f : placed) EXPECT_TRUE(listed.count(f));
  EXPECT_EQ(lib.categoryFolders.size(), 20u);
  lib.createNewSearchPatchFiles("PATCH");
  lib.createNewSearchPatchFiles("  ");
}

// Lowers the largest file this process may write, so that writing a bank
// fails part-way (permission bits do not stop root; this limit does).
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &m_old);
    m_oldHandler = signal(SIGXFSZ, SIG_IGN);
    rlimit lim = m_old;
    lim.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &lim);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &m_old);
    signal(SIGXFSZ, m_oldHandler);
  }

 private:
  rlimit m_old{};
  sighandler_t m_oldHandler{};
};

}  // namespace

TEST(FolderScan, OrderSizeAndExtensionRules) {
  ScanFixture t;
  Bytes at2200 = bankOf(16), at2201 = bankOf(16);  // 2192 bytes of records
  at2200.resize(2200, 0x01);
  at2201.resize(2201, 0x01);
  const std::string r = t.put("r.syx", bankOf(100, 1));
  const std::string b = t.put("b/x.mid", banks::midiBank(banks::namedDumps(100, 2)));
  const std::string B = t.put("B/y.SYX", at2201);
  const std::string A = t.put("A/z.sr2", bankOf(17, 3));
  const std::string AX = t.put("A/X/deep.syx", bankOf(20, 4));
  for (const char* ignored : {"A/other.txt", "A/noext", "old.srl"}) t.put(ignored, bankOf(100));
  t.put("A/too small.syx", at2200);
  fs::create_directories(t.patches + "/folder.syx");
  const Bytes junk(5000, 0x3E);  // maker bytes without a valid model byte: read, neither listed nor moved
  const std::string junkPath = t.put("C/junk.syx", junk);

  t.scan();
  EXPECT_EQ(t.lines, (Names{loaded(A), loaded(AX), loaded(B), loaded(junkPath), loaded(b), loaded(r)}));
  EXPECT_EQ(t.listedNames(), (Names{"z.sr2", "deep.syx", "y.SYX", "x.mid", "r.syx"}));
  EXPECT_EQ(t.lib.folderPaths.back(), t.patches);
  expectUsable(t.lib);

  const PatchFile& deep = *t.lib.patchFiles[1];
  EXPECT_EQ(deep.folderName, "X");
  EXPECT_EQ(deep.folderNames, (Names{"Patches", "A", "X"}));
  EXPECT_EQ(deep.folderPath, t.patches + "/A/X");
  EXPECT_EQ(deep.patches[19].name, banks::patchName(19));
  EXPECT_EQ(deep.patches[20].name, "INIT          ");
  EXPECT_EQ(t.lib.patchFiles[4]->folderNames, Names{"Patches"});

  // Tree: A (with X below it), B, b, then "Patches".
  ASSERT_EQ(t.lib.bankFolders.size(), 4u);
  EXPECT_EQ(t.lib.bankFolders[0]->subFolders[0].name, "A");
  EXPECT_EQ(t.lib.bankFolders[0]->subFolders[0].subFolders[0].name, "X");
  EXPECT_EQ(t.lib.bankFolders[3]->name, "Patches");
  EXPECT_FALSE(fs::exists(t.converted));
  EXPECT_EQ(readFile(junkPath), junk);
  EXPECT_FALSE(t.lib.categoryFiles.empty()) << "category lists built from the scanned banks";
}

TEST(FolderScan, MissingPatchesFolderWritesOneLineAndLoadsNothing) {
  ScanFixture t;
  fs::remove_all(t.patches);
  t.scan();
  // A file where the folder should be counts as missing as well.
  testsupport::writeFile(t.patches, bankOf(100));
  t.scan();
  EXPECT_EQ(t.lines, Names(2, "PLUGIN IS NOT ABLE TO FIND PATCHES FOLDER..."));
  EXPECT_TRUE(t.lib.patchFiles.empty() && t.lib.categoryFolders.empty());
}

TEST(FolderScan, LargeFilesAreSplitTheirSourcesMovedAndDiscardRebuildsEveryList) {
  ScanFixture t;
  const Bytes big = bankOf(250, 7);
  const std::string bigPath = t.put("S/big.syx", big);
  t.put("S/two.mid", banks::midiBank(banks::namedDumps(200, 9)));
  t.scan();

  EXPECT_EQ(t.listedNames(), (Names{"big Singles 1.sr2", "big Singles 2.sr2", "big Singles 3.sr2",
                                    "two Singles 1.sr2", "two Singles 2.sr2"}));
  EXPECT_EQ(t.lines, (Names{loaded(bigPath), moved("big.syx"), loaded(t.patches + "/S/two.mid"), moved("two.mid")}));
  EXPECT_EQ(readFile(t.converted + "big.syx"), big);
  for (const char* gone : {"/S/big.syx", "/S/two.mid", "/S/two Singles 3.sr2"})
    EXPECT_FALSE(fs::exists(t.patches + gone)) << gone;
  EXPECT_EQ(fs::file_size(t.patches + "/S/big Singles 3.sr2"), static_cast<uintmax_t>(kRawBankBytes));
  expectUsable(t.lib);
  // The third bank holds the last 50 patches and 50 init sounds.
  EXPECT_EQ(t.lib.patchFiles[2]->patches[0].messages[0], banks::asRead(banks::namedDumps(250, 7)[200]));
  // The new banks are in the folder tree at once.
  ASSERT_EQ(t.lib.bankFolders.size(), 1u);
  EXPECT_EQ(t.lib.bankFolders[0]->subFolders[0].files.size(), 5u);

  // A discard drops every list and reads the disk again: the written banks
  // like any other, a new file, and no search results.
  t.lib.createNewSearchPatchFiles("PATCH");
  ASSERT_FALSE(t.lib.searchFiles.empty());
  t.put("new.syx", bankOf(100, 2));
  t.lines.clear();
  t.lib.initBankFilesOnDiscard(t.patches + "/");  // a trailing separator is ignored
  EXPECT_EQ(t.listedNames().size(), 6u);
  EXPECT_EQ(t.lib.patchFiles[0]->patches[0].name, banks::patchName(0));
  EXPECT_EQ(t.lib.patchFiles[5]->folderNames, Names{"Patches"});
  EXPECT_EQ(t.count(kRescanLine), 0u);
  EXPECT_TRUE(t.lib.searchFiles.empty() && t.lib.searchFolders.empty());
  EXPECT_EQ(t.lib.bankFolders.size(), 2u);
  t.lib.releaseDroppedFiles();
  expectUsable(t.lib);
}

TEST(FolderScan, ConversionWritesAModel2BankMovesTheSourceToAFreeNameAndRescansOnce) {
  ScanFixture t;
  fs::create_directories(t.converted);
  const Bytes theirs = {1, 2, 3};
  testsupport::writeFile(t.converted + "old.syx", theirs);
  const std::string a = t.put("A/a.syx", bankOf(100, 1));
  const std::string src = t.put("M/old.syx", t.old);
  const std::string z = t.put("z.syx", bankOf(100, 2));
  t.scan();

  EXPECT_EQ(t.lines, (Names{loaded(a), loaded(src), moved("old.syx"), loaded(z), kRescanLine, loaded(a),
                            loaded(t.patches + "/M/old.sr2"), loaded(z)}));
  EXPECT_EQ(readFile(t.converted + "old.syx"), theirs);
  EXPECT_EQ(readFile(t.converted + "old (2).syx"), t.old);
  EXPECT_EQ(t.listedNames(), (Names{"a.syx", "old.sr2", "z.syx"}));
  const PatchFile& conv = *t.lib.patchFiles[1];
  EXPECT_EQ(std::tuple(conv.patches[0].messages[0].size(), conv.patches[0].messages[0][2]), std::tuple(137u, 0x16));
  EXPECT_EQ(conv.patches[30].name, "INIT          ");
  EXPECT_EQ(fs::file_size(t.patches + "/M/old.sr2"), static_cast<uintmax_t>(kRawBankBytes));
  expectUsable(t.lib);
  EXPECT_EQ(t.lib.bankFolders.size(), 3u);
}

TEST(FolderScan, ConvertedBanksThatCannotBeCreatedKeepsTheSourceAndScansOnce) {
  ScanFixture t;
  // A file where the "Converted Banks" folder must go: every move fails.
  testsupport::writeFile(t.data + "Converted Banks", std::string("in the way"));
  t.putOldAndBig();
  t.scan();
  t.expectOldAndBigInPlace();
  EXPECT_EQ(t.count(kRescanLine), 1u);
  EXPECT_EQ(t.count(moved("old.syx")), 0u);
  // The banks written from them are listed; the sources are not read again,
  // nor on later scans, which write no further bank.
  const Names written = {"big Singles 1.sr2", "big Singles 2.sr2", "old.sr2"};
  EXPECT_EQ(t.listedNames(), written);
  expectUsable(t.lib);
  t.lib.initBankFilesOnDiscard(t.patches);
  EXPECT_EQ(t.listedNames(), written);
  EXPECT_EQ(std::distance(fs::directory_iterator(t.patches), fs::directory_iterator()), 5);
}

TEST(FolderScan, FailedWriteKeepsTheSourceAndListsWhatWasRead) {
  ScanFixture t;
  t.putOldAndBig();
  {
    FileSizeLimit limit(4096);  // a bank of 13,700 bytes cannot be written
    t.scan();
  }
  t.expectOldAndBigInPlace();
  for (const std::string& gone : {t.converted, t.patches + "/old.sr2", t.patches + "/big Singles 1.sr2"})
    EXPECT_FALSE(fs::exists(gone)) << gone;
  EXPECT_EQ(t.count(kRescanLine), 0u);
  // What was read is listed from memory: the split file by its banks, the
  // converted bank under its own name.
  EXPECT_EQ(t.listedNames(), (Names{"big Singles 1.sr2", "big Singles 2.sr2", "old.syx"}));
  EXPECT_EQ(t.lib.patchFiles[1]->patches[49].messages[0], banks::asRead(banks::namedDumps(150, 3)[149]));
  EXPECT_EQ(t.lib.patchFiles[2]->patches[0].messages[0][2], 0x16);
  EXPECT_EQ(t.lib.bankFolders.size(), 1u);
  expectUsable(t.lib);

  // With room to write again, the next scan splits and converts as usual.
  t.lib.initBankFilesOnDiscard(t.patches);
  EXPECT_EQ(readFile(t.converted + "big.syx"), t.big);
  EXPECT_EQ(readFile(t.converted + "old.syx"), t.old);
  EXPECT_EQ(t.listedNames(), (Names{"big Singles 1.sr2", "big Singles 2.sr2", "old.sr2"}));
}

TEST(FolderScan, NoUserFileIsLostOnAHostileTree) {
  ScanFixture t;
  t.put("A/a.syx", bankOf(100, 1));
  t.put("A/model1.syx", model1Bank(40));
  t.put("A/big.syx", bankOf(130, 2));
  // Root ignores permission bits: run as another user (the suite passes as
  // "nobody" too) they stop the writes and the read below; the size limit
  // further down makes writes fail for root as well.
  // A folder that cannot be written (for users other than root).
  t.put("RO/ro.syx", model1Bank(35));
  t.put("RO/ro big.syx", bankOf(120, 3));
  // A file that cannot be read (for users other than root), a dangling
  // link, a pipe and a folder under bank names.
  const std::string unreadable = t.put("U/unreadable.syx", bankOf(100, 4));
  fs::create_symlink(t.patches + "/nowhere.syx", t.patches + "/U/dangling.syx");
  mkfifo((t.patches + "/U/pipe.syx").c_str(), 0644);
  // Directory links back into the tree and to its parent.
  fs::create_directory_symlink(t.patches, t.patches + "/A/loop");
  fs::create_directory_symlink(t.data, t.patches + "/up");
  // A name already taken in "Converted Banks".
  fs::create_directories(t.converted);
  testsupport::writeFile(t.converted + "model1.syx", std::string("earlier file"));
  t.put("Z/model1.syx", model1Bank(33));

  const auto before = snapshot(t.data);
  chmod((t.patches + "/RO").c_str(), 0555);
  chmod(unreadable.c_str(), 0);
  t.scan();
  // A second tree state, scanned while writes fail part-way.
  t.put("W/w.syx", model1Bank(31));
  t.put("W/w big.syx", bankOf(140, 6));
  chmod(unreadable.c_str(), 0644);
  const auto before2 = snapshot(t.data);
  chmod(unreadable.c_str(), 0);
  {
    FileSizeLimit limit(4096);
    t.lib.initBankFilesOnDiscard(t.patches);
  }
  chmod(unreadable.c_str(), 0644);
  expectNothingLost(before2, snapshot(t.data));
  expectNothingLost(before, snapshot(t.data));
  EXPECT_LE(t.count(kRescanLine), 2u);  // at most one per scan call
  for (const std::string& l : t.lines) EXPECT_TRUE(l.rfind("PATCH LIBRARIAN: ", 0) == 0 || l == kRescanLine) << l;
  EXPECT_FALSE(t.lib.patchFiles.empty());
  t.lib.releaseDroppedFiles();
  expectUsable(t.lib);
  chmod((t.patches + "/RO").c_str(), 0755);
}

TEST(FolderScan, ManyFilesAreListedInScanOrderWithTheirOwnContent) {
  // Enough files for them to be read ahead on several threads.
  ScanFixture t;
  for (const char* folder : {"b", "A", "a"})
    for (int i = 19; i >= 0; --i)
      t.put(std::string(folder) + "/bank " + std::to_string(i) + ".syx", bankOf(100, i * 1000 + folder[0]));
  t.scan();
  ASSERT_EQ(t.lib.patchFiles.size(), 60u);
  for (size_t n = 0; n < 60; ++n) {
    const PatchFile& f = *t.lib.patchFiles[n];
    const std::string folder = n < 20 ? "A" : (n < 40 ? "a" : "b");
    EXPECT_EQ(f.folderName, folder);
    // Files sort by name: "bank 0", "bank 1", "bank 10", ... "bank 19", "bank 2", ...
    const int i = std::stoi(f.fileName.substr(5));
    EXPECT_EQ(f.patches[0].messages[0], banks::asRead(banks::namedDumps(1, i * 1000 + folder[0])[0])) << f.fileName;
    if (n % 20) {
      EXPECT_LT(t.lib.patchFiles[n - 1]->fileName, f.fileName);
    }
  }
  expectUsable(t.lib);
}

TEST(FolderScan, RepeatedScanReplacesTheCategoryListsItBuilt) {
  ScanFixture t;
  t.put("a.syx", bankOf(100, 1));
  t.scan();
  ASSERT_EQ(t.lib.categoryFolders.size(), 20u);
  // A second scan without a discard, whose first pass converts and so asks
  // for a rescan: no category node may keep a file that was dropped.
  t.put("old.syx", t.old);
  t.scan();
  EXPECT_EQ(t.count(kRescanLine), 1u);
  t.lib.releaseDroppedFiles();
  ASSERT_EQ(t.lib.categoryFolders.size(), 20u);
  std::set<const PatchFile*> alive;
  for (const auto& f : t.lib.categoryFiles) alive.insert(f.get());
  for (const auto& f : t.lib.emptyCategoryFiles) alive.insert(f.get());
  for (const auto& node : t.lib.categoryFolders) {
    ASSERT_EQ(node->subFolders.size(), 1u);
    for (const PatchFile* f : node->subFolders[0].files) EXPECT_TRUE(alive.count(f));
  }
  size_t none = 0, expected = 0;
  for (const PatchFile* f : t.lib.categoryFolders[0]->subFolders[0].files) none += f->patches.size();
  for (const auto& f : t.lib.patchFiles)
    for (const auto& p : f->patches) expected += p.category == "NONE" ? 1 : 0;
  EXPECT_EQ(none, expected);
}

TEST(FolderScan, OneFileReadDirectlyNeverWaitsOnAPipe) {
  ScanFixture t;
  const std::string pipe = t.patches + "/pipe.syx";
  ASSERT_EQ(mkfifo(pipe.c_str(), 0644), 0);
  EXPECT_EQ(t.lib.parseFolderFiles(Poco::File(pipe), Poco::Path(pipe), 0, 0, 1, "syx"), nullptr);
  EXPECT_EQ(t.count("PATCH LIBRARIAN: could not read file " + pipe), 1u);
  // A file read directly is listed like a scanned one.
  const std::string bank = t.put("A/one.syx", bankOf(100, 5));
  PatchFile* f = t.lib.parseFolderFiles(Poco::File(bank), Poco::Path(bank), 1, 0, 1, "syx");
  ASSERT_EQ(t.lib.patchFiles.size(), 1u);
  EXPECT_EQ(f, t.lib.patchFiles[0].get());
  EXPECT_EQ(f->folderNames, (Names{"Patches", "A"}));
}

TEST(FolderScan, SourcesSharingABaseNameKeepEveryNewBank) {
  // "Bank.mid" and "Bank.syx" in one folder both convert to "Bank.sr2" and
  // both split into "Bank Singles n.sr2": the second source must take free
  // names, not replace the banks the first one just wrote.
  ScanFixture t;
  const std::vector<Bytes> m1 = model1Dumps(30), m2 = model1Dumps(30, 50);
  t.put("C/Bank.mid", banks::midiBank(m1));
  t.put("C/Bank.syx", banks::rawBank(m2));
  t.put("S/Big.mid", banks::midiBank(banks::namedDumps(150, 1)));
  t.put("S/Big.syx", bankOf(150, 2));
  t.scan();

  std::multiset<Bytes> listed;
  for (const auto& f : t.lib.patchFiles)
    for (const auto& p : f->patches) listed.insert(p.messages[0]);
  // Converted banks are read back from disk: written with a true check byte,
  // read with command 10.
  for (const auto* dumps : {&m1, &m2})
    for (const Bytes& d : *dumps)
      expectTaken(listed, banks::asRead(banks::withCheckByte(convertPatchToSorrel2Format(d))), "converted");
  for (int seed : {1, 2})
    for (const Bytes& d : banks::namedDumps(150, seed)) expectTaken(listed, banks::asRead(d), "split");
  std::set<std::string> paths;
  for (const auto& f : t.lib.patchFiles) EXPECT_TRUE(paths.insert(f->fullPath()).second) << f->fullPath();
  EXPECT_EQ(t.listedNames().size(), 6u);
}

TEST(FolderScan, UnmovableSourcesWriteNothingOnLaterStartsAndMoveOnceTheyCan) {
  // "Converted Banks" in the way: a plain file of that name (for every user),
  // or a folder that cannot be written (for users other than root).
  for (const bool plainFile : {true, false}) {
    SCOPED_TRACE(plainFile ? "plain file" : "read-only folder");
    if (!plainFile && geteuid() == 0) continue;
    ScanFixture t;
    t.putOldAndBig();
    const std::string blocker = t.data + "Converted Banks";
    if (plainFile) {
      testsupport::writeFile(blocker, std::string("in the way"));
    } else {
      fs::create_directories(blocker);
      chmod(blocker.c_str(), 0555);
    }
    // Each start is a fresh librarian over the same tree.
    auto start = [&] {
      PatchLibrarian lib;
      lib.loadPatchesFromFilesystem(t.patches);
      Names names;
      for (const auto& f : lib.patchFiles) names.push_back(f->fullPath());
      return names;
    };
    const Names firstList = start();
    const auto firstFiles = snapshot(t.data);
    EXPECT_EQ(firstList, (Names{t.patches + "/big Singles 1.sr2", t.patches + "/big Singles 2.sr2",
                                t.patches + "/old.sr2"}));
    for (int n = 2; n <= 4; ++n) {
      EXPECT_EQ(start(), firstList) << "start " << n;
      EXPECT_EQ(snapshot(t.data), firstFiles) << "start " << n;
    }
    t.expectOldAndBigInPlace();

    // Once the folder can take them, the sources move and nothing is written.
    plainFile ? (void)fs::remove(blocker) : (void)chmod(blocker.c_str(), 0755);
    EXPECT_EQ(start(), firstList);
    auto after = snapshot(t.data);
    EXPECT_EQ(after.erase(t.converted + "old.syx") + after.erase(t.converted + "big.syx"), 2u);
    after[t.patches + "/old.syx"] = t.old;
    after[t.patches + "/big.syx"] = t.big;
    if (plainFile) after[blocker] = firstFiles.at(blocker);
    EXPECT_EQ(after, firstFiles);
  }
}

TEST(FolderScan, EachRealFileIsReadOnceWhateverLinksReachIt) {
  ScanFixture t;
  const std::string big = t.put("S/big.syx", t.big);
  fs::create_directories(t.patches + "/A");
  fs::create_symlink("../S/big.syx", t.patches + "/A/link.syx");  // met first in scan order
  // A file outside the tree, reached through two links, and a hard link.
  const std::string outside = t.data + "ext.syx";
  testsupport::writeFile(outside, bankOf(100, 8));
  for (const char* link : {"/B/ext1.syx", "/C/ext2.syx"}) {
    fs::create_directories(fs::path(t.patches + link).parent_path());
    fs::create_symlink(outside, t.patches + link);
  }
  const std::string own = t.put("D/own.syx", bankOf(100, 9));
  fs::create_hard_link(own, t.patches + "/D/same.syx");
  const Names expected = {"ext1.syx", "own.syx", "big Singles 1.sr2", "big Singles 2.sr2"};
  for (int start = 0; start < 2; ++start) {
    SCOPED_TRACE(start);
    PatchLibrarian lib;
    lib.loadPatchesFromFilesystem(t.patches);
    Names names;
    std::multiset<Bytes> dumps;
    for (const auto& f : lib.patchFiles) {
      names.push_back(f->fileName);
      for (const auto& p : f->patches) dumps.insert(p.messages[0]);
    }
    EXPECT_EQ(names, expected);
    for (const auto& d : banks::namedDumps(150, 3)) EXPECT_EQ(dumps.count(banks::asRead(d)), 1u);
  }
  // The source moved once; the user's link stays, now leading nowhere.
  EXPECT_EQ(readFile(t.converted + "big.syx"), t.big);
  EXPECT_FALSE(fs::exists(big));
  EXPECT_TRUE(fs::is_symlink(t.patches + "/A/link.syx"));
  EXPECT_EQ(std::distance(fs::directory_iterator(t.converted), fs::directory_iterator()), 1);
  EXPECT_EQ(readFile(outside), bankOf(100, 8));
}
