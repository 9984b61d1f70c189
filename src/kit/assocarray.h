#pragma once
// Sorted key-value arrays with binary search, kept in a KIT_HeapBuf.
#include <strings.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "kit/heapbuf.h"

template <class K, class V>
class KIT_AssocArrayImpl {
 public:
  typedef int (*CompareFn)(const K* a, const K* b);
  typedef K (*DupFn)(K k);
  typedef void (*KeyDisposeFn)(K k);
  typedef void (*ValueDisposeFn)(V v);

  struct Pair {
    K key;
    V value;
  };

  KIT_AssocArrayImpl(CompareFn cmp, DupFn dup, KeyDisposeFn keyDispose, ValueDisposeFn valueDispose)
      : m_cmp(cmp), m_dup(dup), m_keyDispose(keyDispose), m_valueDispose(valueDispose), m_hb(KIT_GRAN_DEFAULT) {}
  ~KIT_AssocArrayImpl() {
    if (m_keyDispose || m_valueDispose) DisposeAll();
    m_hb.Free();
  }
  KIT_AssocArrayImpl(const KIT_AssocArrayImpl&) = delete;
  KIT_AssocArrayImpl& operator=(const KIT_AssocArrayImpl&) = delete;

  int GetSize() const { return m_hb.GetSize() / static_cast<int>(sizeof(Pair)); }
  Pair* Pairs() const { return static_cast<Pair*>(m_hb.Get()); }

  // Binary search; returns true on a match with *pos at it, otherwise false
  // with *pos the insert position.
  bool Find(K key, int* pos) const {
    int lo = 0, hi = GetSize();
    Pair* p = Pairs();
    while (lo != hi) {
      const int mid = (lo + hi) / 2;
      const int c = m_cmp(&key, &p[mid].key);
      if (c > 0)
        lo = mid + 1;
      else if (c < 0)
        hi = mid;
      else {
        *pos = mid;
        return true;
      }
    }
    *pos = lo;
    return false;
  }

  int GetIndex(K key) const {
    int pos;
    return Find(key, &pos) ? pos : -1;
  }
  V* Get(K key) const {
    int pos;
    return Find(key, &pos) ? &Pairs()[pos].value : nullptr;
  }
  // Pair i in sorted order; null outside 0..count-1.
  V* Enumerate(int i, K* keyOut = nullptr) const {
    if (i < 0 || i >= GetSize()) return nullptr;
    if (keyOut) *keyOut = Pairs()[i].key;
    return &Pairs()[i].value;
  }

  // Stores value under key. An equal key already stored keeps its first
  // spelling and gets the new value (the old one disposed). Returns false,
  // changing and disposing nothing, when the array cannot grow.
  bool Insert(K key, V value, K* keyOut = nullptr) {
    int pos;
    if (Find(key, &pos)) {
      Pair& p = Pairs()[pos];
      if (m_valueDispose) m_valueDispose(p.value);
      p.value = value;
      if (keyOut) *keyOut = p.key;
      return true;
    }
    const int n = GetSize();
    m_hb.Resize((n + 1) * static_cast<int>(sizeof(Pair)), true);
    if (GetSize() != n + 1) return false;
    Pair* p = Pairs();
    std::memmove(static_cast<void*>(p + pos + 1), static_cast<const void*>(p + pos), (n - pos) * sizeof(Pair));
    p[pos].key = m_dup ? m_dup(key) : key;
    p[pos].value = value;
    if (keyOut) *keyOut = p[pos].key;
    return true;
  }

  // Appends without sorting; Resort() must follow before the next look-up.
  bool AddUnsorted(K key, V value) {
    const int n = GetSize();
    m_hb.Resize((n + 1) * static_cast<int>(sizeof(Pair)), true);
    if (GetSize() != n + 1) return false;
    Pairs()[n].key = m_dup ? m_dup(key) : key;
    Pairs()[n].value = value;
    return true;
  }

  void Delete(K key) {
    int pos;
    if (Find(key, &pos)) DeleteAt(pos);
  }

  void DeleteAt(int pos) {
    const int n = GetSize();
    if (pos < 0 || pos >= n) return;
    Pair* p = Pairs();
    if (m_keyDispose) m_keyDispose(p[pos].key);
    if (m_valueDispose) m_valueDispose(p[pos].value);
    std::memmove(static_cast<void*>(p + pos), static_cast<const void*>(p + pos + 1), (n - pos - 1) * sizeof(Pair));
    m_hb.Resize((n - 1) * static_cast<int>(sizeof(Pair)), true);
  }

  // Sorts all pairs and removes duplicates. The sort is stable and of equal
  // keys the pair appended last survives, as with Insert the newest value wins.
  void Resort() {
    const int n = GetSize();
    if (n < 2 || !m_cmp) return;
    Pair* p = Pairs();
    std::stable_sort(p, p + n, [this](const Pair& a, const Pair& b) { return m_cmp(&a.key, &b.key) < 0; });
    int i = 0;
    while (i < GetSize() - 1) {
      p = Pairs();
      if (m_cmp(&p[i].key, &p[i + 1].key) == 0)
        DeleteAt(i);
      else
        ++i;
    }
  }

  // Disposes every pair and sets the count to 0, keeping the storage.
  void DeleteAll() {
    DisposeAll();
    m_hb.Resize(0, false);
  }

 private:
  void DisposeAll() {
    const int n = GetSize();
    Pair* p = Pairs();
    for (int i = 0; i < n; ++i) {
      if (m_keyDispose) m_keyDispose(p[i].key);
      if (m_valueDispose) m_valueDispose(p[i].value);
    }
  }

  CompareFn m_cmp;
  DupFn m_dup;
  KeyDisposeFn m_keyDispose;
  ValueDisposeFn m_valueDispose;
  KIT_HeapBuf m_hb;
};

// Keys compared by a caller-supplied function; keys and values are not owned.
template <class K, class V>
class KIT_AssocArray : public KIT_AssocArrayImpl<K, V> {
 public:
  explicit KIT_AssocArray(typename KIT_AssocArrayImpl<K, V>::CompareFn cmp,
                          typename KIT_AssocArrayImpl<K, V>::ValueDisposeFn valueDispose = nullptr)
      : KIT_AssocArrayImpl<K, V>(cmp, nullptr, nullptr, valueDispose) {}
};

namespace kit_keyed {
inline int cmpistr(char* const* a, char* const* b) { return strcasecmp(*a, *b); }
inline int cmpstr(char* const* a, char* const* b) { return std::strcmp(*a, *b); }
inline char* dupstr(char* s) { return strdup(s ? s : ""); }
inline void freestr(char* s) { std::free(s); }
}  // namespace kit_keyed

inline void freecharptr(char* s) { std::free(s); }

// C-string keys owned by the array: copied on store, freed on removal.
template <class V>
class KIT_StringKeyedArray : public KIT_AssocArrayImpl<char*, V> {
  typedef KIT_AssocArrayImpl<char*, V> Base;

 public:
  explicit KIT_StringKeyedArray(bool caseSensitive = false, typename Base::ValueDisposeFn valueDispose = nullptr)
      : Base(caseSensitive ? &kit_keyed::cmpstr : &kit_keyed::cmpistr,
             &kit_keyed::dupstr, &kit_keyed::freestr, valueDispose) {}

  V* Get(const char* key) const { return Base::Get(const_cast<char*>(key)); }
  int GetIndex(const char* key) const { return Base::GetIndex(const_cast<char*>(key)); }
  bool Insert(const char* key, V value, char** keyOut = nullptr) {
    return Base::Insert(const_cast<char*>(key), value, keyOut);
  }
  bool AddUnsorted(const char* key, V value) { return Base::AddUnsorted(const_cast<char*>(key), value); }
  void Delete(const char* key) { Base::Delete(const_cast<char*>(key)); }
};

// Destroys a string-keyed array of heap strings; a null pointer is ignored.
inline void deleteStringKeyedArray(KIT_StringKeyedArray<char*>* a) { delete a; }
