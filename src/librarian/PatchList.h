#pragma once
// The patches of a file in slot order: a vector of patches, except that the
// lists built from the bank files (the category and search lists) refer to
// the bank files' patches instead of holding copies of them.
//
// A patch referred to by two lists is never changed: a list that is asked
// for a patch to change (any access that is not const) first takes a copy
// of its own, in the bank file as in the list, so that each keeps the state
// the patch had when the reference was made. Const access never copies, so
// code that only reads goes through a const list. The patches a list
// reads in one go (a file just read, a copy of a whole list) lie in one
// block of memory.
//
// Threads: like a std::vector, but note that a non-const access may copy a
// patch: lists are read and changed under the same lock (the editor's).
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>
#include <vector>

#include "librarian/LibrarianPatch.h"

class PatchList {
  struct Entry {
    LibrarianPatch* patch;
    uint32_t keep;  // index of the handle in m_keep that keeps the patch alive
    bool shared;    // another list refers to the same patch
  };

 public:
  using value_type = LibrarianPatch;
  using size_type = size_t;
  using difference_type = std::ptrdiff_t;
  using reference = LibrarianPatch&;
  using const_reference = const LibrarianPatch&;

  template <bool Const>
  class Iterator {
   public:
    using iterator_category = std::random_access_iterator_tag;
    using value_type = LibrarianPatch;
    using difference_type = std::ptrdiff_t;
    using reference = std::conditional_t<Const, const LibrarianPatch&, LibrarianPatch&>;
    using pointer = std::conditional_t<Const, const LibrarianPatch*, LibrarianPatch*>;
    using EntryPtr = std::conditional_t<Const, const Entry*, Entry*>;
    using ListPtr = std::conditional_t<Const, const PatchList*, PatchList*>;

    Iterator() = default;
    Iterator(ListPtr list, EntryPtr e) : m_list(list), m_e(e) {}
    operator Iterator<true>() const { return Iterator<true>(m_list, m_e); }

    reference operator*() const {
      if constexpr (Const)
        return *m_e->patch;
      else
        return m_list->own(*m_e);
    }
    pointer operator->() const { return &**this; }
    reference operator[](difference_type n) const { return *(*this + n); }
    Iterator& operator++() { return ++m_e, *this; }
    Iterator operator++(int) { return Iterator(m_list, m_e++); }
    Iterator& operator--() { return --m_e, *this; }
    Iterator operator--(int) { return Iterator(m_list, m_e--); }
    Iterator& operator+=(difference_type n) { return m_e += n, *this; }
    Iterator& operator-=(difference_type n) { return m_e -= n, *this; }
    friend Iterator operator+(Iterator i, difference_type n) { return i += n; }
    friend Iterator operator+(difference_type n, Iterator i) { return i += n; }
    friend Iterator operator-(Iterator i, difference_type n) { return i -= n; }
    friend difference_type operator-(Iterator a, Iterator b) { return a.m_e - b.m_e; }
    friend bool operator==(Iterator a, Iterator b) { return a.m_e == b.m_e; }
    friend auto operator<=>(Iterator a, Iterator b) { return a.m_e <=> b.m_e; }

   private:
    ListPtr m_list = nullptr;
    EntryPtr m_e = nullptr;
  };
  using iterator = Iterator<false>;
  using const_iterator = Iterator<true>;

  PatchList() = default;
  // A list of these patches, in one block.
  explicit PatchList(std::vector<LibrarianPatch> patches) { adopt(std::move(patches)); }
  // A copy holds patches of its own, in one block, sharing none.
  PatchList(const PatchList& other) : PatchList(static_cast<std::vector<LibrarianPatch>>(other)) {}
  PatchList& operator=(const PatchList& other);
  PatchList(PatchList&&) noexcept = default;
  PatchList& operator=(PatchList&&) noexcept = default;
  PatchList& operator=(std::vector<LibrarianPatch> patches);
  // A copy of the patches.
  operator std::vector<LibrarianPatch>() const;

  size_t size() const { return m_entries.size(); }
  bool empty() const { return m_entries.empty(); }
  void reserve(size_t n) { m_entries.reserve(n); }
  void clear();

  const LibrarianPatch& operator[](size_t i) const { return *m_entries[i].patch; }
  LibrarianPatch& operator[](size_t i) { return own(m_entries[i]); }
  const LibrarianPatch& front() const { return *m_entries.front().patch; }
  LibrarianPatch& front() { return own(m_entries.front()); }
  const LibrarianPatch& back() const { return *m_entries.back().patch; }
  LibrarianPatch& back() { return own(m_entries.back()); }

  iterator begin() { return iterator(this, m_entries.data()); }
  iterator end() { return iterator(this, m_entries.data() + m_entries.size()); }
  const_iterator begin() const { return const_iterator(this, m_entries.data()); }
  const_iterator end() const { return const_iterator(this, m_entries.data() + m_entries.size()); }
  const_iterator cbegin() const { return begin(); }
  const_iterator cend() const { return end(); }

  void push_back(const LibrarianPatch& patch) { add(std::make_shared<LibrarianPatch>(patch)); }
  void push_back(LibrarianPatch&& patch) { add(std::make_shared<LibrarianPatch>(std::move(patch))); }
  LibrarianPatch& emplace_back() { return *add(std::make_shared<LibrarianPatch>()); }
  // New slots hold empty patches (or copies of value), in one block.
  void resize(size_t n);
  void resize(size_t n, const LibrarianPatch& value);
  // Copies of the patches of [first, last), which may lie in this list.
  template <class It>
  void assign(It first, It last) {
    std::vector<LibrarianPatch> copies;
    for (; first != last; ++first) copies.push_back(static_cast<const LibrarianPatch&>(*first));
    clear();
    adopt(std::move(copies));
  }
  // Appends the patches, in one block.
  void append(std::vector<LibrarianPatch> patches) { adopt(std::move(patches)); }

  // Appends a reference to patch i of source (a list of another file):
  // both then share it until either changes it.
  void appendShared(PatchList& source, size_t i);

  friend bool operator==(const PatchList& a, const PatchList& b);
  friend bool operator==(const PatchList& a, const std::vector<LibrarianPatch>& b);

 private:
  // The entry's patch, made its own first when another list shares it.
  LibrarianPatch& own(Entry& e) { return e.shared ? ownCopy(e) : *e.patch; }
  LibrarianPatch& ownCopy(Entry& e);
  void adopt(std::vector<LibrarianPatch> patches);
  LibrarianPatch* add(std::shared_ptr<LibrarianPatch> patch);
  uint32_t keepHandle(std::shared_ptr<const void> handle);

  std::vector<Entry> m_entries;
  // Every block and patch an entry points into. A patch an entry stops
  // pointing to (made its own, or cut by resize) is released with the list.
  std::vector<std::shared_ptr<const void>> m_keep;
};
