// Writing bank files: byte-exact raw and Standard MIDI File banks, Save,
// Save As, and the banks written for split and converted files. No writer
// replaces a source or a user's file it did not mean to, and failures
// return false with every file as it was.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <tuple>

#include "librarian/BankFormats.h"
#include "librarian/BankReader.h"
#include "librarian/PatchLibrarian.h"
#include "support_banks.h"
#include "testsupport.h"

namespace {

using banks::Bytes;
using banks::Names;
using banks::patchesOf;
using testsupport::readFile;
namespace fs = std::filesystem;

Names folderEntries(const std::string& folder) {
  Names names;
  for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

PatchFile readBankFile(const std::string& path) { return banks::readBank(readFile(path)); }

// A librarian whose upper bank is a file of the given name in folder.
struct UpperBank {
  PatchLibrarian lib;
  PatchFile* file;
  Names remembered;  // "folder:<name>" / "file:<name>"
  UpperBank(const std::string& folder, const std::string& name, const std::vector<Bytes>& dumps) {
    auto f = std::make_unique<PatchFile>();
    f->patches = patchesOf(dumps);
    f->fileName = name;
    f->folderPath = folder.back() == '/' ? folder.substr(0, folder.size() - 1) : folder;
    f->folderName = "Mine";
    file = f.get();
    lib.patchFiles.push_back(std::move(f));
    lib.hooks.setUpperFileName = [this](const std::string& n) { remembered.push_back("file:" + n); };
    lib.hooks.setUpperFolderName = [this](const std::string& n) { remembered.push_back("folder:" + n); };
  }
  void answer(const std::string& path) {
    lib.hooks.promptForSaveFile = [path](const std::string&, const std::string&, const std::string&) { return path; };
  }
};

TEST(BankBytes, StandardBanksAreByteExactCheckBytesRecomputedAndEmptySlotsInit) {
  const auto dumps = banks::namedDumps(100, 11);
  auto patches = patchesOf(dumps);
  const Bytes raw = buildBankBytes(patches, false);
  EXPECT_EQ(raw.size(), 13700u);
  EXPECT_EQ(raw, banks::rawBank(dumps));
  const Bytes midi = buildBankBytes(patches, true);
  EXPECT_EQ(midi.size(), 14152u);
  EXPECT_EQ(midi, banks::midiBank(dumps));
  EXPECT_TRUE(std::equal(midiSingleStartHeader_S2100.begin(), midiSingleStartHeader_S2100.end(), midi.begin()));
  EXPECT_EQ(Bytes(midi.begin() + 189, midi.begin() + 194), (Bytes{0x83, 0x74, 0xF0, 0x81, 0x08}));
  EXPECT_EQ(Bytes(midi.end() - 4, midi.end()), (Bytes{0x00, 0xFF, 0x2F, 0x00}));
  for (const Bytes& bank : {raw, midi}) EXPECT_EQ(banks::readBank(bank).patches, patches) << bank.size();

  // A stale check byte is recomputed; a slot without message is an init sound.
  patches[5].messages[0][135] = 0x00;
  patches[9].messages.clear();
  patches[99].messages.clear();
  const Bytes mended = buildBankBytes(patches, false);
  ASSERT_EQ(mended.size(), 13700u);
  EXPECT_EQ(Bytes(mended.begin() + 5 * 137, mended.begin() + 6 * 137), dumps[5]);
  const Bytes init = banks::withCheckByte(Bytes(initSinglePatch.begin(), initSinglePatch.end()));
  EXPECT_EQ(Bytes(mended.begin() + 9 * 137, mended.begin() + 10 * 137), init);
  EXPECT_EQ(buildBankBytes(patches, true).size(), 14152u);
}

// Walks a Standard MIDI File and returns the system-exclusive event bodies of
// its second track; fails the test when any length is inconsistent.
std::vector<Bytes> midiEvents(const Bytes& f) {
  auto be32 = [&](size_t at) {
    return (uint32_t(f.at(at)) << 24) | (uint32_t(f.at(at + 1)) << 16) | (uint32_t(f.at(at + 2)) << 8) | f.at(at + 3);
  };
  auto vlq = [&](size_t& at) {
    uint32_t v = 0;
    for (;;) {
      const uint8_t b = f.at(at++);
      v = (v << 7) | (b & 0x7F);
      if (!(b & 0x80)) return v;
    }
  };
  std::vector<Bytes> events;
  size_t at = 14;
  at += 8 + be32(at + 4);
  EXPECT_EQ(Bytes(f.begin() + static_cast<long>(at), f.begin() + static_cast<long>(at + 4)),
            (Bytes{'M', 'T', 'r', 'k'}));
  const uint32_t trackLen = be32(at + 4);
  at += 8;
  EXPECT_EQ(at + trackLen, f.size()) << "track length must cover the rest of the file";
  while (at < f.size()) {
    vlq(at);
    const uint8_t status = f.at(at++);
    if (status == 0xFF) {
      const uint8_t type = f.at(at++);
      at += vlq(at);
      if (type == 0x2F) break;
      continue;
    }
    EXPECT_EQ(status, 0xF0);
    const uint32_t len = vlq(at);
    events.emplace_back(f.begin() + static_cast<long>(at), f.begin() + static_cast<long>(at + len));
    at += len;
  }
  EXPECT_EQ(at, f.size());
  return events;
}

TEST(BankBytes, MidiEventAndTrackLengthsFollowTheBytesWritten) {
  auto patches = patchesOf(banks::namedDumps(3));
  Bytes longer(300, 0x11);
  longer.front() = 0xF0;
  longer.back() = 0xF7;
  patches[1].messages[0] = longer;
  patches[2].messages.push_back(Bytes{0xF0, 0x01, 0xF7});
  const auto events = midiEvents(buildBankBytes(patches, true));
  ASSERT_EQ(events.size(), 4u);
  EXPECT_EQ(events[0].size(), 136u);
  EXPECT_EQ(events[1], Bytes(longer.begin() + 1, longer.end()));
  EXPECT_EQ(events[3], (Bytes{0x01, 0xF7}));
  // A standard bank passes the same walk.
  EXPECT_EQ(midiEvents(buildBankBytes(patchesOf(banks::namedDumps(100)), true)).size(), 100u);
}

TEST(Save, WritesInTheFileFormKeepingPermissionsAndSyxGoesToItsSr2Sibling) {
  testsupport::TempDir dir;
  const auto dumps = banks::namedDumps(100, 2);
  const Bytes original = {'o', 'l', 'd'};
  const auto perms = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
  const std::tuple<std::string, std::string, Bytes> cases[] = {  // file, written, content
      {"Bank.sr2", "Bank.sr2", banks::rawBank(dumps)},
      {"Bank.mid", "Bank.mid", banks::midiBank(dumps)},
      {"Old.syx", "Old.sr2", banks::rawBank(dumps)},
      {"LOUD.SYX", "LOUD.sr2", banks::rawBank(dumps)}};
  for (const auto& [name, written, content] : cases) {
    SCOPED_TRACE(name);
    ASSERT_TRUE(testsupport::writeFile(dir.file(name), original));
    fs::permissions(dir.file(name), perms);
    UpperBank u(dir.path(), name, dumps);
    ASSERT_TRUE(u.lib.saveUpperBank());
    EXPECT_EQ(readFile(dir.file(written)), content);
    EXPECT_EQ(u.remembered, Names{"file:" + written});
    if (written == name)
      EXPECT_EQ(fs::status(dir.file(name)).permissions() & fs::perms::all, perms);
    else
      EXPECT_EQ(readFile(dir.file(name)), original) << "never over the .syx";
  }
  // A short bank is written whole, and the bank in memory is not changed.
  UpperBank u(dir.path(), "Short.syx", dumps);
  u.file->patches.resize(40);
  ASSERT_TRUE(u.lib.saveUpperBank());
  EXPECT_EQ(readFile(dir.file("Short.sr2")).size(), 13700u);
  EXPECT_EQ(u.file->patches.size(), 40u);
}

TEST(Save, WithoutUpperBankOrOnFailureNothingChanges) {
  testsupport::TempDir dir;
  const auto dumps = banks::namedDumps(100);
  {
    UpperBank u(dir.path(), "Bank.sr2", dumps);
    u.lib.noUpperFile = 1;
    EXPECT_FALSE(u.lib.saveUpperBank());
    EXPECT_FALSE(u.lib.saveEditedPatch(dir.file("Bank.sr2"), "Bank.sr2"));
    u.lib.noUpperFile = 0;
    for (int bad : {1, -1}) {
      u.lib.upperFileIndex = bad;
      EXPECT_FALSE(u.lib.saveUpperBank()) << bad;
    }
    EXPECT_TRUE(u.remembered.empty());
  }
  EXPECT_FALSE(PatchLibrarian().saveUpperBank());
  EXPECT_TRUE(folderEntries(dir.path()).empty());

  // A target that cannot be replaced (a folder of that name) stays, and no
  // temporary file is left behind.
  fs::create_directory(dir.file("Busy.sr2"));
  UpperBank u(dir.path(), "Busy.sr2", dumps);
  EXPECT_FALSE(u.lib.saveUpperBank());
  EXPECT_TRUE(fs::is_directory(dir.file("Busy.sr2")));
  EXPECT_EQ(folderEntries(dir.path()), Names{"Busy.sr2"});
  EXPECT_TRUE(u.remembered.empty());
  UpperBank gone(dir.path() + "missing/", "Bank.sr2", dumps);  // a folder that does not exist
  EXPECT_FALSE(gone.lib.saveUpperBank());
}

// A save whose file cannot be written says so on the status line, so that
// it does not pass for one that worked; a cancelled Save As says nothing.
TEST(Save, AFailedWriteIsNamedOnTheStatusLine) {
  testsupport::TempDir dir;
  const auto dumps = banks::namedDumps(100, 3);
  for (const char* name : {"Bank.sr2", "Bank.syx"}) {
    UpperBank u(dir.path() + "gone/", name, dumps);  // its folder has vanished
    Names status;
    u.lib.hooks.statusText = [&](const std::string& text) { status.push_back(text); };
    EXPECT_FALSE(u.lib.saveUpperBank()) << name;
    u.answer(dir.file("gone/Other.sr2"));
    EXPECT_FALSE(u.lib.saveUpperBankAs(false)) << name;
    u.answer("");
    EXPECT_FALSE(u.lib.saveUpperBankAs(true)) << name;
    EXPECT_EQ(status, (Names{"Bank could not be saved!", "Bank could not be saved!"})) << name;
  }
}

TEST(Save, ThroughLinksEveryNameShowsTheEditAndAnUnwritableTargetChangesNothing) {
  testsupport::TempDir dir;
  for (const char* sub : {"T", "L", "RO"}) fs::create_directories(dir.file(sub));
  const Bytes original = {'o', 'l', 'd'};
  const auto dumps = banks::namedDumps(100, 4);
  for (const char* target : {"T/a.sr2", "T/b.sr2", "RO/r.sr2"}) {
    ASSERT_TRUE(testsupport::writeFile(dir.file(target), original));
    fs::permissions(dir.file(target), fs::perms::owner_read | fs::perms::owner_write);
  }
  fs::create_symlink("../T/a.sr2", dir.file("L/sym.sr2"));
  fs::create_hard_link(dir.file("T/b.sr2"), dir.file("L/hard.sr2"));
  fs::create_symlink(dir.file("RO/r.sr2"), dir.file("L/ro.sr2"));
  fs::create_symlink(dir.file("T/none.sr2"), dir.file("L/dangling.sr2"));
  fs::permissions(dir.file("RO"), fs::perms::owner_read | fs::perms::owner_exec);
  // Saved name, whether Save succeeds, the file it lands in. The mode of
  // "RO" does not stop root, for whom that case is not checked.
  const std::tuple<std::string, bool, std::string> cases[] = {
      {"sym.sr2", true, "T/a.sr2"}, {"hard.sr2", true, "T/b.sr2"}, {"dangling.sr2", false, ""},
      {"ro.sr2", false, "RO/r.sr2"}};
  for (const auto& [name, saved, target] : cases) {
    if (name == "ro.sr2" && geteuid() == 0) continue;
    UpperBank u(dir.file("L"), name, dumps);
    EXPECT_EQ(u.lib.saveUpperBank(), saved) << name;
    if (!target.empty()) {
      EXPECT_EQ(readFile(dir.file(target)), saved ? banks::rawBank(dumps) : original) << name;
    }
    EXPECT_EQ(readFile(dir.file("L/" + name)), target.empty() ? Bytes{} : readFile(dir.file(target))) << name;
  }
  EXPECT_TRUE(fs::is_symlink(dir.file("L/sym.sr2")) && fs::is_symlink(dir.file("L/dangling.sr2")));
  EXPECT_EQ(fs::status(dir.file("T/a.sr2")).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_EQ(fs::hard_link_count(dir.file("T/b.sr2")), 2u);
  EXPECT_EQ(folderEntries(dir.file("T")), (Names{"a.sr2", "b.sr2"}));
  EXPECT_EQ(folderEntries(dir.file("RO")), Names{"r.sr2"});
  fs::permissions(dir.file("RO"), fs::perms::owner_all);
}

// A ".syx" bank replaces no other bank: not one stored under its ".sr2"
// name, nor the save of an earlier reading of the same ".syx" (the stale
// ".syx" opened again). Only the file this bank itself was saved to is
// replaced; otherwise the next free name is taken, remembered and named.
TEST(Save, ASyxBankReplacesOnlyTheFileItWasSavedTo) {
  testsupport::TempDir dir;
  const auto mine = banks::namedDumps(100, 1);
  const Bytes stale = banks::rawBank(mine);
  Names status;
  auto watch = [&](PatchLibrarian& lib) {
    lib.hooks.statusText = [&](const std::string& text) { status.push_back(text); };
  };
  // The bank of "Bank A.syx" with dumps put into some of its slots.
  auto edit = [&](PatchFile& file, std::vector<std::pair<int, int>> slotSeeds) {
    auto bank = mine;
    for (auto [slot, seed] : slotSeeds) {
      bank[static_cast<size_t>(slot)] = banks::model2Dump(seed, "EDITED " + std::to_string(seed), 3);
      file.patches[static_cast<size_t>(slot)] = banks::patchOf(bank[static_cast<size_t>(slot)]);
    }
    return banks::rawBank(bank);
  };

  // 1. A different bank stored as "Bank A.sr2".
  const Bytes other = banks::rawBank(banks::namedDumps(100, 40));
  ASSERT_TRUE(testsupport::writeFile(dir.file("Bank A.syx"), stale));
  ASSERT_TRUE(testsupport::writeFile(dir.file("Bank A.sr2"), other));
  UpperBank u(dir.path(), "Bank A.syx", mine);
  watch(u.lib);
  Bytes edited = edit(*u.file, {{5, 71}});
  ASSERT_TRUE(u.lib.saveUpperBank());
  EXPECT_EQ(readFile(dir.file("Bank A.sr2")), other);
  EXPECT_EQ(readFile(dir.file("Bank A (2).sr2")), edited);
  EXPECT_EQ(u.remembered, Names{"file:Bank A (2).sr2"});
  EXPECT_EQ(status, Names{"Saved as Bank A (2).sr2"});
  // Saved again after more edits: its own file is replaced, no third one.
  edited = edit(*u.file, {{5, 71}, {6, 72}});
  ASSERT_TRUE(u.lib.saveUpperBank());
  EXPECT_EQ(readFile(dir.file("Bank A (2).sr2")), edited);
  EXPECT_EQ(readFile(dir.file("Bank A.sr2")), other);
  EXPECT_EQ(readFile(dir.file("Bank A.syx")), stale);
  EXPECT_EQ(folderEntries(dir.path()), (Names{"Bank A (2).sr2", "Bank A.sr2", "Bank A.syx"}));

  // 2. No bank of that name: the first save takes "Bank A.sr2" and names
  // nothing. The stale ".syx" read again, by a rescan of the same
  // librarian or by the next start's, and saved with other edits, keeps
  // the bytes of that save.
  testsupport::TempDir d2;
  ASSERT_TRUE(testsupport::writeFile(d2.file("Bank A.syx"), stale));
  status.clear();
  UpperBank earlier(d2.path(), "Bank A.syx", mine);
  watch(earlier.lib);
  const Bytes saved = edit(*earlier.file, {{5, 81}});
  ASSERT_TRUE(earlier.lib.saveUpperBank());
  EXPECT_EQ(readFile(d2.file("Bank A.sr2")), saved);
  EXPECT_TRUE(status.empty());
  EXPECT_EQ(earlier.remembered, Names{"file:Bank A.sr2"});

  UpperBank reread(d2.path(), "Bank A.syx", mine);
  earlier.lib.patchFiles.clear();  // the rescan's new record of the file
  earlier.lib.patchFiles.push_back(std::move(reread.lib.patchFiles.front()));
  const Bytes rescanned = edit(*earlier.lib.upperFile(), {{5, 82}});
  ASSERT_TRUE(earlier.lib.saveUpperBank());
  UpperBank nextStart(d2.path(), "Bank A.syx", mine);
  watch(nextStart.lib);
  const Bytes restarted = edit(*nextStart.file, {{5, 83}});
  ASSERT_TRUE(nextStart.lib.saveUpperBank());
  EXPECT_EQ(readFile(d2.file("Bank A.sr2")), saved);
  EXPECT_EQ(readFile(d2.file("Bank A (2).sr2")), rescanned);
  EXPECT_EQ(readFile(d2.file("Bank A (3).sr2")), restarted);
  EXPECT_EQ(status, (Names{"Saved as Bank A (2).sr2", "Saved as Bank A (3).sr2"}));
  EXPECT_EQ(readFile(d2.file("Bank A.syx")), stale);
}

TEST(SaveAs, MidiFormStoresSlotNumbersAndRemembersTheNames) {
  testsupport::TempDir dir;
  fs::create_directory(dir.file("Live"));
  auto dumps = banks::namedDumps(100, 5);
  UpperBank u(dir.path(), "Bank.syx", dumps);
  u.file->patches[3].messages[0].resize(100);  // cut short: filled with 00 and closed
  u.file->patches[8].messages.clear();         // no message: an init sound
  Names asked;
  u.lib.hooks.promptForSaveFile = [&](const std::string& name, const std::string& folder, const std::string& ext) {
    asked = {name, folder, ext};
    return dir.file("Live/Set.mid");
  };
  ASSERT_TRUE(u.lib.saveUpperBankAs(true));
  EXPECT_EQ(asked, (Names{"Bank.mid", u.file->folderPath, "mid"}));
  EXPECT_EQ(u.remembered, (Names{"folder:Live", "file:Set.mid"}));

  const Bytes f = readFile(dir.file("Live/Set.mid"));
  ASSERT_EQ(f.size(), 14152u);
  const auto events = midiEvents(f);
  ASSERT_EQ(events.size(), 100u);
  for (int slot = 0; slot < 100; ++slot) {
    Bytes dump = {0xF0};
    dump.insert(dump.end(), events[static_cast<size_t>(slot)].begin(), events[static_cast<size_t>(slot)].end());
    EXPECT_EQ(std::tuple(dump[4], dump[5], dump[135]), std::tuple(0x01, slot, dumpCheckByte(dump))) << slot;
  }
  Bytes seven = dumps[7];
  seven[4] = 0x01;
  seven[5] = 0x07;
  seven = banks::withCheckByte(seven);
  EXPECT_EQ(events[7], Bytes(seven.begin() + 1, seven.end()));
  EXPECT_EQ(std::tuple(events[3][99], events[3][135], events[8][119]), std::tuple(0x00, 0xF7, 'I'));
  // The bank reads back with its names.
  const PatchFile back = readBankFile(dir.file("Live/Set.mid"));
  EXPECT_EQ(back.patches[7].name, banks::patchName(7));
  EXPECT_EQ(back.patches[8].name, "INIT          ");
}

TEST(SaveAs, RawFormAndTheRootFolder) {
  testsupport::TempDir dir;
  const auto dumps = banks::namedDumps(100, 6);
  UpperBank u(dir.path(), "Bank.mid", dumps);
  u.lib.hooks.promptForSaveFile = [](const std::string&, const std::string&, const std::string& ext) {
    EXPECT_EQ(ext, "sr2");
    return std::string("Root.sr2");  // no folder part
  };
  char old[4096];
  ASSERT_NE(getcwd(old, sizeof old), nullptr);
  ASSERT_EQ(chdir(dir.path().c_str()), 0);
  const bool ok = u.lib.saveUpperBankAs(false);
  ASSERT_EQ(chdir(old), 0);
  ASSERT_TRUE(ok);
  EXPECT_EQ(readFile(dir.file("Root.sr2")), banks::rawBank(dumps));
  EXPECT_EQ(u.remembered, (Names{"folder:Patches", "file:Root.sr2"}));
}

TEST(SaveAs, NoUpperBankCancelOrFailureWriteNothing) {
  testsupport::TempDir dir;
  int prompts = 0;
  UpperBank u(dir.path(), "Bank.sr2", banks::namedDumps(100));
  ASSERT_TRUE(testsupport::writeFile(dir.file("Chosen.sr2"), "keep"));
  u.lib.hooks.promptForSaveFile = [&](const std::string&, const std::string&, const std::string&) {
    ++prompts;
    return dir.file("Chosen.sr2");
  };
  u.lib.noUpperFile = 1;
  EXPECT_FALSE(u.lib.savePatchAs("Bank.sr2", dir.path(), false));
  EXPECT_EQ(prompts, 0) << "nothing is asked or opened without an upper bank";
  EXPECT_EQ(readFile(dir.file("Chosen.sr2")), (Bytes{'k', 'e', 'e', 'p'}));

  u.lib.noUpperFile = 0;
  for (const std::string& answer : {std::string(), dir.file("nowhere/x.sr2")}) {  // cancelled; cannot be written
    u.answer(answer);
    EXPECT_FALSE(u.lib.savePatchAs("Bank.sr2", dir.path(), false)) << answer;
  }
  u.lib.hooks.promptForSaveFile = nullptr;
  EXPECT_FALSE(u.lib.saveUpperBankAs(false));
  EXPECT_TRUE(u.remembered.empty());
  EXPECT_EQ(folderEntries(dir.path()), Names{"Chosen.sr2"});
}

// Runs the split loop as the folder scan does; returns the call results.
std::vector<bool> writeBlocks(PatchLibrarian& lib, PatchFile& src, const std::string& folder,
                              const std::string& name) {
  std::vector<bool> results;
  lib.splitBankCount = static_cast<int>(src.patches.size() / 100);
  for (int bank = -1; bank < lib.splitBankCount; ++bank)
    results.push_back(lib.createNewPatchFile(&src, "Mine", name, folder + name, 0, bank));
  return results;
}

PatchFile sourceOf(int n, int seed = 0) {
  PatchFile f;
  f.patches = patchesOf(banks::namedDumps(n, seed));
  f.folderPath = "/somewhere";
  f.folderNames = {"Patches", "Mine"};
  return f;
}

TEST(SplitAndConvert, SplitsIntoNumberedBanksOfHundred) {
  testsupport::TempDir dir;
  PatchLibrarian lib;
  PatchFile src = sourceOf(250);
  EXPECT_EQ(writeBlocks(lib, src, dir.path(), "Bank.syx"), (std::vector<bool>{true, true, true, true}));
  EXPECT_EQ(lib.splitBankCount, 2);
  ASSERT_EQ(lib.patchFiles.size(), 3u);
  for (int b = 0; b < 3; ++b) {
    const PatchFile& rec = *lib.patchFiles[static_cast<size_t>(b)];
    const std::string name = "Bank Singles " + std::to_string(b + 1) + ".sr2";
    EXPECT_EQ(std::tuple(rec.fileName, rec.folderName, rec.noPadding), std::tuple(name, std::string("Mine"), 0));
    ASSERT_EQ(rec.patches.size(), 100u);
    EXPECT_EQ(readBankFile(dir.file(name)).patches[0].name, banks::patchName(100 * b));
  }
  EXPECT_EQ(lib.patchFiles[2]->patches[50].name, "") << "filled with init sounds, named when next read";
  const PatchFile last = readBankFile(dir.file("Bank Singles 3.sr2"));
  EXPECT_EQ(last.patches[49].name, banks::patchName(249));
  EXPECT_EQ(last.patches[50].name, "INIT          ");

  for (int n : {101, 200}) {
    testsupport::TempDir d2;
    PatchLibrarian l2;
    PatchFile s2 = sourceOf(n);
    writeBlocks(l2, s2, d2.path(), "B.mid");
    EXPECT_EQ(l2.patchFiles.size(), 2u) << n;
    EXPECT_EQ(readFile(d2.file("B Singles 2.sr2")).size(), 13700u);
  }
}

TEST(SplitAndConvert, ConvertedBankIsWrittenBesideNeverOverItsSourceAndKeepsSplitNumbering) {
  testsupport::TempDir dir;
  const Bytes original = {'m', 'o', 'd', 'e', 'l', '1'};
  PatchLibrarian lib;
  lib.fileConverted = true;
  PatchFile src = sourceOf(100, 1);
  for (const std::string name : {"X.syx", "Y.sr2"}) {
    ASSERT_TRUE(testsupport::writeFile(dir.file(name), original));
    EXPECT_TRUE(lib.createNewPatchFile(&src, "Mine", name, dir.file(name), 0, -1));
    EXPECT_EQ(readFile(dir.file(name)), original);
  }
  EXPECT_EQ(readFile(dir.file("X.sr2")), banks::rawBank(banks::namedDumps(100, 1)));
  EXPECT_EQ(readFile(dir.file("Y (2).sr2")).size(), 13700u);
  ASSERT_EQ(lib.patchFiles.size(), 2u);
  EXPECT_EQ(lib.patchFiles[1]->fileName, "Y (2).sr2");

  // Converted and split: every block keeps its own numbered name.
  testsupport::TempDir d2;
  PatchFile big = sourceOf(150);
  writeBlocks(lib, big, d2.path(), "Old.syx");
  EXPECT_EQ(folderEntries(d2.path()), (Names{"Old Singles 1.sr2", "Old Singles 2.sr2"}));
}

TEST(SplitAndConvert, ExistingUserFilesAreKeptUnlessThisScanWroteThem) {
  testsupport::TempDir dir;
  const Bytes mine = {'u', 's', 'e', 'r'};
  ASSERT_TRUE(testsupport::writeFile(dir.file("Bank Singles 1.sr2"), mine));
  PatchLibrarian lib;
  PatchFile src = sourceOf(150);
  writeBlocks(lib, src, dir.path(), "Bank.syx");
  EXPECT_EQ(readFile(dir.file("Bank Singles 1.sr2")), mine);
  EXPECT_EQ(folderEntries(dir.path()), (Names{"Bank Singles 1 (2).sr2", "Bank Singles 1.sr2", "Bank Singles 2.sr2"}));
  // Another source of the same base name takes free names.
  PatchFile sibling = sourceOf(150, 20);
  writeBlocks(lib, sibling, dir.path(), "Bank.mid");
  EXPECT_EQ(folderEntries(dir.path()), (Names{"Bank Singles 1 (2).sr2", "Bank Singles 1 (3).sr2", "Bank Singles 1.sr2",
                                              "Bank Singles 2 (2).sr2", "Bank Singles 2.sr2"}));
  auto firstOfSecondBank = [&] { return readBankFile(dir.file("Bank Singles 2.sr2")).patches[0].messages[0]; };
  EXPECT_EQ(firstOfSecondBank(), banks::asRead(banks::namedDumps(101)[100]));
  // The same source written again in the same scan replaces its own files.
  PatchFile other = sourceOf(150, 40);
  writeBlocks(lib, other, dir.path(), "Bank.syx");
  EXPECT_EQ(folderEntries(dir.path()).size(), 5u);
  EXPECT_EQ(firstOfSecondBank(), banks::asRead(banks::namedDumps(101, 40)[100]));
  // A new scan finds them holding the very bytes it would write: nothing new.
  lib.forgetCreatedFiles();
  writeBlocks(lib, other, dir.path(), "Bank.syx");
  EXPECT_EQ(folderEntries(dir.path()).size(), 5u);
}

TEST(SplitAndConvert, FailedWritesReturnFalseAndListNothing) {
  testsupport::TempDir dir;
  PatchLibrarian lib;
  PatchFile src = sourceOf(150);
  // The last call finds its block empty (the count went up by one).
  EXPECT_EQ(writeBlocks(lib, src, dir.path() + "missing/", "Bank.syx"), (std::vector<bool>{false, false, true}));
  EXPECT_TRUE(lib.patchFiles.empty());
  EXPECT_FALSE(lib.createNewPatchFile(nullptr, "", "a.syx", dir.file("a.syx"), 0, -1));
  PatchLibrarian::fillUncompletedBankFiles(nullptr);
  PatchLibrarian::makeExactBank(nullptr);
  // An empty block writes nothing and is no failure.
  EXPECT_TRUE(lib.createNewPatchFile(&src, "", "a.syx", dir.file("a.syx"), 0, 5));
  EXPECT_TRUE(folderEntries(dir.path()).empty());
}

}  // namespace
