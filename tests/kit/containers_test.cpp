#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "kit/assocarray.h"
#include "kit/mutex.h"
#include "kit/ptrlist.h"
#include "kit/string.h"
#include "kit/utf8.h"
#include "support_alloc.h"

namespace {

int g_valuesFreed = 0;
void countFree(char* s) {
  ++g_valuesFreed;
  std::free(s);
}
const char* keyAt(const KIT_StringKeyedArray<char*>& a, int i) {
  char* k = nullptr;
  a.Enumerate(i, &k);
  return k;
}

TEST(StringKeyedArray, CaseInsensitiveInsertKeepsFirstSpelling) {
  g_valuesFreed = 0;
  {
    KIT_StringKeyedArray<char*> a(false, countFree);
    a.Insert("Volume", strdup("1"));
    a.Insert("alpha", strdup("2"));
    char* stored = nullptr;
    a.Insert("VOLUME", strdup("3"), &stored);
    EXPECT_EQ(g_valuesFreed, 1);  // the replaced value
    EXPECT_STREQ(stored, "Volume");
    ASSERT_EQ(a.GetSize(), 2);
    EXPECT_STREQ(*a.Get("volume"), "3");
    EXPECT_STREQ(keyAt(a, 0), "alpha");
    a.Delete("missing");
    EXPECT_EQ(a.GetSize(), 2);
    EXPECT_EQ(g_valuesFreed, 1);
    a.Delete("ALPHA");
    EXPECT_EQ(a.GetSize(), 1);
    EXPECT_EQ(g_valuesFreed, 2);
  }
  EXPECT_EQ(g_valuesFreed, 3);  // the destructor disposes what is left

  KIT_StringKeyedArray<int> cs(true);  // case-sensitive: both spellings stay
  cs.Insert("Helvetica", 1);
  cs.Insert("helvetica", 2);
  EXPECT_EQ(cs.GetSize(), 2);
  EXPECT_EQ(*cs.Get("Helvetica"), 1);
  EXPECT_EQ(cs.Get("HELVETICA"), nullptr);
}

TEST(StringKeyedArray, ResortKeepsLastAppendedOfEqualKeys) {
  g_valuesFreed = 0;
  KIT_StringKeyedArray<char*> a(false, countFree);
  for (const char* kv : {"b1", "A1", "a2", "c1", "A3"}) a.AddUnsorted(std::string(kv, 1).c_str(), strdup(kv));
  a.Resort();
  EXPECT_EQ(g_valuesFreed, 2);
  ASSERT_EQ(a.GetSize(), 3);
  EXPECT_STREQ(*a.Get("a"), "A3");
  EXPECT_STREQ(keyAt(a, 0), "A");
  EXPECT_STREQ(*a.Enumerate(1), "b1");
  EXPECT_STREQ(*a.Enumerate(2), "c1");
  EXPECT_EQ(a.Enumerate(3), nullptr);
  a.DeleteAll();
  EXPECT_EQ(a.GetSize(), 0);
  EXPECT_EQ(g_valuesFreed, 5);
}

int cmpInt(const int* a, const int* b) { return (*a > *b) - (*a < *b); }

TEST(AssocArray, StaysSortedUnderManyInserts) {
  KIT_AssocArray<int, int> a(cmpInt);
  auto key = [](int i) { return (i * 7919) % 5003; };
  for (int i = 0; i < 5000; ++i) a.Insert(key(i), i);
  ASSERT_EQ(a.GetSize(), 5000);
  for (int i = 0, prev = -1, k; i < a.GetSize(); prev = k, ++i) {
    a.Enumerate(i, &k);
    ASSERT_GT(k, prev);
  }
  for (int i = 0; i < 5000; ++i) ASSERT_EQ(*a.Get(key(i)), i);
  for (int i = 0; i < 5000; i += 2) a.Delete(key(i));
  EXPECT_EQ(a.GetSize(), 2500);
  EXPECT_EQ(a.Get(key(2)), nullptr);
  EXPECT_EQ(*a.Get(key(3)), 3);
}

TEST(AssocArray, InsertThatCannotGrowChangesNothing) {
  g_valuesFreed = 0;
  KIT_StringKeyedArray<char*> a(false, countFree);
  a.Insert("kept", strdup("v"));
  // Fill the first allocation exactly, then run out of memory.
  for (int n = 1;; ++n) {
    ASSERT_LT(n, 100000);
    const std::string key = "k" + std::to_string(100000 + n);
    const int before = a.GetSize();
    char* value = strdup("x");
    kittest::FailingAllocator exhausted(0);
    if (a.Insert(key.c_str(), value)) continue;
    EXPECT_EQ(a.GetSize(), before);
    EXPECT_EQ(a.Get(key.c_str()), nullptr);
    EXPECT_EQ(g_valuesFreed, 0);  // nothing disposed: the caller still owns value
    free(value);
    break;
  }
  EXPECT_STREQ(*a.Get("kept"), "v");
  KIT_PtrList<int> l;
  int x = 0;
  {
    kittest::FailingAllocator exhausted(0);
    EXPECT_EQ(l.Add(&x), nullptr);
  }
  EXPECT_EQ(l.GetSize(), 0);
}

struct Node {
  static int alive;
  KIT_PtrList<Node> children;
  Node() { ++alive; }
  ~Node() { --alive; }
};
int Node::alive = 0;
}  // namespace

// A node deletes its whole subtree, as tree items do.
template <>
struct KIT_PtrListDeleter<Node> {
  static void Delete(Node* n) {
    n->children.Empty(true);
    delete n;
  }
};

namespace {

std::vector<int> g_seenSizes;
KIT_PtrList<int>* g_list = nullptr;
void recordSize(int* p) {
  g_seenSizes.push_back(g_list->GetSize());
  delete p;
}

TEST(PtrList, EmptyWithDeleteRemovesSubtreesLastFirst) {
  {
    KIT_PtrList<Node> roots;
    for (int i = 0; i < 3; ++i) {
      Node* n = roots.Add(new Node);
      for (int j = 0; j < 4; ++j) n->children.Add(new Node)->children.Add(new Node);
    }
    EXPECT_EQ(Node::alive, 3 + 12 + 12);
    roots.Empty(true);
    EXPECT_EQ(roots.GetSize(), 0);
  }
  EXPECT_EQ(Node::alive, 0);
  // The deleter sees only the elements not yet deleted; a null is skipped.
  KIT_PtrList<int> l;
  g_list = &l;
  for (int i = 0; i < 4; ++i) l.Add(new int(i));
  l.Add(nullptr);
  g_seenSizes.clear();
  l.Empty(true, recordSize);
  EXPECT_EQ(g_seenSizes, (std::vector<int>{3, 2, 1, 0}));
}

TEST(PtrList, InsertDeleteAndBounds) {
  KIT_PtrList<int> l;
  int a = 1, b = 2, c = 3;
  l.Add(&a);
  l.Add(&c);
  l.Insert(1, &b);
  ASSERT_EQ(l.GetSize(), 3);
  EXPECT_EQ(l.Get(1), &b);
  EXPECT_EQ(l.Get(3), nullptr);
  EXPECT_EQ(l.Get(-1), nullptr);
  EXPECT_EQ(l.Find(&c), 2);
  l.Delete(5);
  l.Delete(-1);
  EXPECT_EQ(l.GetSize(), 3);
  l.Delete(0);
  EXPECT_EQ(l.Get(0), &b);
  EXPECT_EQ(l.GetSize(), 2);
  static int calls;
  calls = 0;
  l.Delete(1, true, [](int*) { ++calls; });
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(l.GetSize(), 1);
}

TEST(KitString, SetFormattedCutsAtMaxlen) {
  KIT_String s;
  s.SetFormatted(3, "%s", "abcdef");
  EXPECT_STREQ(s.Get(), "abc");
  EXPECT_EQ(s.GetUsedSize(), 4);
  s.SetFormatted(-4, "%d", 12345);
  EXPECT_STREQ(s.Get(), "");
  EXPECT_EQ(s.GetUsedSize(), 1);
  s.SetFormatted(100, "%d-%s", 7, "x");
  EXPECT_STREQ(s.Get(), "7-x");
  EXPECT_EQ(s.GetLength(), 3);
  // Its own text as arguments, with every growth moving the block.
  {
    kittest::FailingAllocator moving(-1, true);
    KIT_String own("abc");
    own.SetFormatted(2000, "%s-%s-%.*s", own.Get(), own.Get() + 1, 1, own.Get());
    EXPECT_STREQ(own.Get(), "abc-bc-a");
    own.SetFormatted(5000, "%s%s", own.Get(), std::string(3000, 'z').c_str());
    EXPECT_EQ(std::string(own.Get()), "abc-bc-a" + std::string(3000, 'z'));
    own.SetFormatted(4, "[%s]", own.Get());  // no growth, still its own text
    EXPECT_STREQ(own.Get(), "[abc");
  }
  s.Set("hello");
  s.Append(" world");
  EXPECT_STREQ(KIT_String(s).Get(), "hello world");
  // Texts taken from the string itself survive the storage moving.
  KIT_String big(std::string(300, 'q').c_str());
  ASSERT_TRUE(big.Append(big.Get()));
  EXPECT_EQ(std::string(big.Get()), std::string(600, 'q'));
  big.Set("x");
  big.Append(std::string(3000, 'y').c_str());
  ASSERT_TRUE(big.Set(big.Get() + 2991));
  EXPECT_STREQ(big.Get(), "yyyyyyyyyy");
}

TEST(Utf8, FieldCopiesCutAtCharacterBoundaries) {
  const char* cases[][2] = {{"abcdefgh", "abcde"},
                            {"abc\xC3\xA9z", "abc\xC3\xA9"},  // "abcéz": é ends at byte 5
                            {"abcd\xC3\xA9", "abcd"},         // é would straddle the cut: dropped
                            {"ab\xE2\x82\xAC\xE2\x82\xAC", "ab\xE2\x82\xAC"},  // two euro signs
                            {nullptr, ""}};
  for (auto [src, want] : cases) {
    char f[6];
    KIT_CopyField(f, src);
    EXPECT_STREQ(f, want);
  }
  char one[1] = {'x'};
  KIT_CopyField(one, "abc");
  EXPECT_EQ(one[0], '\0');
  KIT_String s;
  s.Set("\xF0\x9F\x8E\xB9xyz", 3);  // a 4-byte character does not fit 3 bytes
  EXPECT_STREQ(s.Get(), "");
}

bool otherThreadGets(KIT_Mutex& m) {
  bool got = true;
  std::thread([&] { got = m.TryLock(); }).join();
  return got;
}

TEST(Mutex, RecursiveAndExclusive) {
  KIT_Mutex m;
  m.Lock();
  m.Lock();
  EXPECT_TRUE(m.IsLockedByCaller());
  EXPECT_EQ(m.GetDepth(), 1);
  EXPECT_FALSE(otherThreadGets(m));
  m.Unlock();
  EXPECT_TRUE(m.IsLockedByCaller());
  m.Unlock();
  EXPECT_FALSE(m.IsLockedByCaller());
  long counter = 0;
  std::vector<std::thread> ts;
  for (int i = 0; i < 4; ++i)
    ts.emplace_back([&] {
      for (int j = 0; j < 20000; ++j) {
        KIT_MutexLock outer(m), inner(m);
        ++counter;
      }
    });
  for (auto& th : ts) th.join();
  EXPECT_EQ(counter, 80000);
}

// Debug builds stop on an unlock by a thread that does not own the mutex;
// other builds ignore it, and the owner keeps the lock either way.
TEST(Mutex, UnlockByNonOwnerIsIgnored) {
  KIT_Mutex m;
  m.Lock();
  EXPECT_DEBUG_DEATH(std::thread([&m] { m.Unlock(); }).join(), "does not own");
  EXPECT_TRUE(m.IsLockedByCaller());
  EXPECT_FALSE(otherThreadGets(m));
  m.Unlock();
}

// A pause that must not hold the mutex gives up every level and takes them
// all back; a timed attempt fails while another thread holds it.
TEST(Mutex, ReleaseAllAndTimedAttempts) {
  KIT_Mutex m;
  EXPECT_EQ(m.ReleaseAll(), 0);
  m.Lock();
  m.Lock();
  m.Lock();
  bool timedOut = true;
  std::thread([&] { timedOut = !m.TryLockFor(1); }).join();
  EXPECT_TRUE(timedOut);
  const int levels = m.ReleaseAll();
  EXPECT_EQ(levels, 3);
  EXPECT_FALSE(m.IsLockedByCaller());
  bool got = false;
  std::thread([&] {
    got = m.TryLockFor(1);
    if (got) m.Unlock();
  }).join();
  EXPECT_TRUE(got);
  m.ReacquireAll(levels);
  EXPECT_EQ(m.GetDepth(), 2);
  for (int i = 0; i < levels; ++i) m.Unlock();
  EXPECT_FALSE(m.IsLockedByCaller());
}

// The scope's form: free for others inside, every level back at its end,
// also when an exception leaves it.
TEST(Mutex, LetGoForAScope) {
  KIT_Mutex m;
  m.Lock();
  m.Lock();
  try {
    KIT_MutexLetGo unlocked(m);
    EXPECT_FALSE(m.IsLockedByCaller());
    bool got = false;
    std::thread([&] {
      got = m.TryLockFor(1);
      if (got) m.Unlock();
    }).join();
    EXPECT_TRUE(got);
    throw 1;
  } catch (int) {
  }
  EXPECT_TRUE(m.IsLockedByCaller());
  EXPECT_EQ(m.GetDepth(), 1);
  m.Unlock();
  m.Unlock();
  EXPECT_FALSE(m.IsLockedByCaller());
}

}  // namespace
