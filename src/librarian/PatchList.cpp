#include "librarian/PatchList.h"

#include <utility>

PatchList& PatchList::operator=(const PatchList& other) {
  if (this != &other) *this = static_cast<std::vector<LibrarianPatch>>(other);
  return *this;
}

PatchList& PatchList::operator=(std::vector<LibrarianPatch> patches) {
  clear();
  adopt(std::move(patches));
  return *this;
}

PatchList::operator std::vector<LibrarianPatch>() const {
  std::vector<LibrarianPatch> copies;
  copies.reserve(m_entries.size());
  for (const Entry& e : m_entries) copies.push_back(*e.patch);
  return copies;
}

void PatchList::clear() {
  m_entries.clear();
  m_keep.clear();
}

void PatchList::resize(size_t n) { resize(n, LibrarianPatch()); }

void PatchList::resize(size_t n, const LibrarianPatch& value) {
  if (n <= m_entries.size()) {
    m_entries.resize(n);
    return;
  }
  adopt(std::vector<LibrarianPatch>(n - m_entries.size(), value));
}

void PatchList::appendShared(PatchList& source, size_t i) {
  Entry& from = source.m_entries[i];
  from.shared = true;
  const std::shared_ptr<const void>& handle = source.m_keep[from.keep];
  // Runs of patches from one block share its handle.
  if (m_keep.empty() || m_keep.back() != handle) m_keep.push_back(handle);
  m_entries.push_back({from.patch, static_cast<uint32_t>(m_keep.size() - 1), true});
}

LibrarianPatch& PatchList::ownCopy(Entry& e) {
  auto copy = std::make_shared<LibrarianPatch>(*e.patch);
  e.patch = copy.get();
  e.keep = keepHandle(std::move(copy));
  e.shared = false;
  return *e.patch;
}

void PatchList::adopt(std::vector<LibrarianPatch> patches) {
  if (patches.empty()) return;
  auto block = std::make_shared<std::vector<LibrarianPatch>>(std::move(patches));
  const uint32_t keep = keepHandle(block);
  m_entries.reserve(m_entries.size() + block->size());
  for (LibrarianPatch& p : *block) m_entries.push_back({&p, keep, false});
}

LibrarianPatch* PatchList::add(std::shared_ptr<LibrarianPatch> patch) {
  LibrarianPatch* p = patch.get();
  const uint32_t keep = keepHandle(std::move(patch));
  m_entries.push_back({p, keep, false});
  return p;
}

uint32_t PatchList::keepHandle(std::shared_ptr<const void> handle) {
  m_keep.push_back(std::move(handle));
  return static_cast<uint32_t>(m_keep.size() - 1);
}

bool operator==(const PatchList& a, const PatchList& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (!(a[i] == b[i])) return false;
  return true;
}

bool operator==(const PatchList& a, const std::vector<LibrarianPatch>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (!(a[i] == b[i])) return false;
  return true;
}
