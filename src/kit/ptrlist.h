#pragma once
// A list of pointers in a KIT_HeapBuf. The list does not own its elements
// unless an operation is told to delete them.
#include <cstdlib>

#include "kit/heapbuf.h"

// How a list deletes one of its elements. Types with owned sub-structures
// specialise this; plain byte lists free what malloc gave them.
template <class T>
struct KIT_PtrListDeleter {
  static void Delete(T* p) { delete p; }
};
template <>
struct KIT_PtrListDeleter<void> {
  static void Delete(void* p) { std::free(p); }
};
template <>
struct KIT_PtrListDeleter<char> {
  static void Delete(char* p) { std::free(p); }
};

template <class T>
class KIT_PtrList {
 public:
  typedef void (*DelFunc)(T*);

  KIT_PtrList() : m_hb(KIT_GRAN_DEFAULT) {}
  ~KIT_PtrList() = default;  // frees the storage only
  KIT_PtrList(const KIT_PtrList&) = delete;
  KIT_PtrList& operator=(const KIT_PtrList&) = delete;

  int GetSize() const { return m_hb.GetSize() / static_cast<int>(sizeof(T*)); }
  T** GetList() const { return static_cast<T**>(m_hb.Get()); }
  T* Get(int i) const { return (i >= 0 && i < GetSize()) ? GetList()[i] : nullptr; }

  int Find(const T* p) const {
    const int n = GetSize();
    T** l = GetList();
    for (int i = 0; i < n; ++i)
      if (l[i] == p) return i;
    return -1;
  }

  // Inserts at index (clamped to 0..count); returns the element, or null when
  // the list could not grow (the list is then unchanged).
  T* Insert(int index, T* p) {
    const int n = GetSize();
    if (index < 0 || index > n) index = n;
    m_hb.Resize((n + 1) * static_cast<int>(sizeof(T*)), false);
    if (GetSize() != n + 1) return nullptr;
    T** l = GetList();
    for (int i = n; i > index; --i) l[i] = l[i - 1];
    l[index] = p;
    return p;
  }
  T* Add(T* p) { return Insert(GetSize(), p); }

  // Removes the element at index; with wantDelete it is handed to delfunc
  // (even when null) or, without delfunc, deleted as its type says.
  void Delete(int index, bool wantDelete = false, DelFunc delfunc = nullptr) {
    const int n = GetSize();
    if (index < 0 || index >= n) return;
    T** l = GetList();
    T* p = l[index];
    if (wantDelete) {
      if (delfunc)
        delfunc(p);
      else if (p)
        KIT_PtrListDeleter<T>::Delete(p);
    }
    l = GetList();
    for (int i = index; i < n - 1; ++i) l[i] = l[i + 1];
    m_hb.Resize((n - 1) * static_cast<int>(sizeof(T*)), false);
  }

  // Removes every element, last first. While deleting, the list holds
  // exactly the elements not yet deleted, so a deleter may look at it.
  void Empty(bool wantDelete = false, DelFunc delfunc = nullptr) {
    if (wantDelete) {
      for (int i = GetSize() - 1; i >= 0; --i) {
        T* p = GetList()[i];
        m_hb.Resize(i * static_cast<int>(sizeof(T*)), false);
        if (p) {
          if (delfunc)
            delfunc(p);
          else
            KIT_PtrListDeleter<T>::Delete(p);
        }
      }
    }
    m_hb.Resize(0, false);
  }

 private:
  KIT_HeapBuf m_hb;
};
