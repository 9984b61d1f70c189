#include "shim/winprofile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "kit/assocarray.h"
#include "kit/mutex.h"

namespace {

typedef KIT_StringKeyedArray<char*> Keys;
typedef KIT_StringKeyedArray<Keys*> Sections;

void deleteKeys(Keys* k) { deleteStringKeyedArray(k); }
Keys* newKeys() { return new Keys(false, &freecharptr); }

constexpr int kSlots = 32;
constexpr size_t kMaxLine = 33554432;        // longer lines go on as the next line
constexpr size_t kMaxPreamble = 262144;      // bytes read before giving up on finding a section

struct Slot {
  uint64_t lastAccess = 0;
  int64_t mtime = 0;
  uint32_t size = 0;
  std::string name;
  bool used = false;
  Sections sections{false, &deleteKeys};
};

struct Cache {
  KIT_Mutex mutex;
  Slot slots[kSlots];
  uint64_t counter = 0;
  uint64_t parses = 0;
};

Cache& cache() {
  static Cache* c = new Cache;  // lives until the process ends
  return *c;
}

bool isBlank(char c) { return c == ' ' || c == '\t'; }
bool isLineEnd(char c) { return c == '\r' || c == '\n'; }

// One line, without its end; a NUL ends the line's text.
void parseLine(std::string_view line, Sections& sections, Keys*& current) {
  line = line.substr(0, line.find('\0'));
  while (!line.empty() && (isBlank(line.back()) || isLineEnd(line.back()))) line.remove_suffix(1);
  size_t i = 0;
  while (i < line.size() && isBlank(line[i])) ++i;
  line.remove_prefix(i);
  if (line.empty()) return;
  if (line[0] == '[') {
    const size_t close = line.find(']');
    if (close == std::string_view::npos) return;
    if (current) current->Resort();
    current = nullptr;
    if (close == 1) return;
    const std::string name(line.substr(1, close - 1));
    if (Keys** found = sections.Get(name.c_str())) {
      (*found)->DeleteAll();
      current = *found;
    } else {
      Keys* k = newKeys();
      if (!sections.Insert(name.c_str(), k)) {
        delete k;
        return;
      }
      current = k;
    }
    return;
  }
  const size_t eq = line.find('=');
  if (eq == std::string_view::npos || eq == 0 || !current) return;
  const std::string key(line.substr(0, eq));
  char* value = strndup(line.data() + eq + 1, line.size() - eq - 1);
  if (!value) return;
  if (!current->AddUnsorted(key.c_str(), value)) std::free(value);
}

void parse(std::span<const uint8_t> bytes, Sections& sections) {
  Keys* current = nullptr;
  size_t pos = 0, preamble = 0;
  const char* p = reinterpret_cast<const char*>(bytes.data());
  while (pos < bytes.size()) {
    size_t end = pos;
    while (end < bytes.size() && end - pos < kMaxLine && !isLineEnd(p[end])) ++end;
    if (end < bytes.size() && end - pos < kMaxLine) ++end;  // the line end itself
    const bool hadSection = sections.GetSize() > 0;
    parseLine(std::string_view(p + pos, end - pos), sections, current);
    if (!hadSection && sections.GetSize() == 0) {
      preamble += end - pos;
      if (preamble > kMaxPreamble) break;
    }
    pos = end;
  }
  if (current) current->Resort();
}

std::string layout(const Sections& sections) {
  std::string out;
  for (int s = 0; s < sections.GetSize(); ++s) {
    char* name = nullptr;
    Keys* keys = *sections.Enumerate(s, &name);
    if (!name || !keys) continue;
    out.append("[").append(name).append("]\n");
    for (int k = 0; k < keys->GetSize(); ++k) {
      char* key = nullptr;
      char* value = *keys->Enumerate(k, &key);
      if (!key || !*key || !value) continue;
      out.append(key).append("=").append(value).append("\n");
    }
    out.append("\n");
  }
  return out;
}

// Modification time and low 32 bits of the size; 0 and 0 when missing.
void statFile(const std::string& path, int64_t* mtime, uint32_t* size) {
  struct stat st;
  if (path.empty() || stat(path.c_str(), &st) != 0) {
    *mtime = 0;
    *size = 0;
    return;
  }
  *mtime = st.st_mtime;
  *size = static_cast<uint32_t>(st.st_size);
}

void readInto(Slot& s) {
  ++cache().parses;
  const int fd = open(s.name.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    s.mtime = 0;
    s.size = 0;
    return;
  }
  flock(fd, LOCK_SH);
  std::string bytes;
  char chunk[65536];
  for (;;) {
    const ssize_t n = read(fd, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    bytes.append(chunk, static_cast<size_t>(n));
  }
  statFile(s.name, &s.mtime, &s.size);
  flock(fd, LOCK_UN);
  close(fd);
  parse(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), s.sections);
}

// The slot of path, read again when the file changed on disk.
Slot* fileContext(const char* path) {
  if (!path) return nullptr;
  Cache& c = cache();
  Slot* slot = nullptr;
  for (Slot& s : c.slots) {
    if (!s.used || s.name == path) {
      slot = &s;
      break;
    }
  }
  if (!slot) {
    slot = &c.slots[0];
    for (Slot& s : c.slots)
      if (s.lastAccess < slot->lastAccess) slot = &s;
  }
  slot->lastAccess = ++c.counter;
  if (slot->used && slot->name == path) {
    int64_t t;
    uint32_t n;
    statFile(slot->name, &t, &n);
    if (t == slot->mtime && n == slot->size) return slot;
  }
  slot->sections.DeleteAll();
  slot->name = path;
  slot->used = true;
  readInto(*slot);
  return slot;
}

// Forgets what the slot holds, so that the next call reads the file.
void dropSlot(Slot& s) {
  s.sections.DeleteAll();
  s.name.clear();
  s.used = false;
  s.mtime = 0;
  s.size = 0;
}

bool writeAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

// Writes the slot to ".<name>.new" beside the file and renames it over the
// file. False (the temporary removed, the slot dropped) on any failure.
bool writeBack(Slot& s) {
  if (!s.used || s.name.empty()) return false;
  const size_t cut = s.name.rfind('/');
  const std::string dir = cut == std::string::npos ? std::string() : s.name.substr(0, cut + 1);
  const std::string base = cut == std::string::npos ? s.name : s.name.substr(cut + 1);
  bool ok = !base.empty();
  const std::string tmp = dir + "." + base + ".new";
  if (ok) {
    unlink(tmp.c_str());
    struct stat st;
    const mode_t mode = stat(s.name.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0666;
    const int fd = open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd < 0) {
      ok = false;
    } else {
      flock(fd, LOCK_EX);
      ok = fchmod(fd, mode) == 0 && writeAll(fd, layout(s.sections)) && fsync(fd) == 0;
      flock(fd, LOCK_UN);
      ok = close(fd) == 0 && ok;
      ok = ok && rename(tmp.c_str(), s.name.c_str()) == 0;
      if (!ok) unlink(tmp.c_str());
    }
  }
  if (!ok) {
    dropSlot(s);
    return false;
  }
  statFile(s.name, &s.mtime, &s.size);
  return true;
}

bool hasLineEnd(const char* s) { return s && std::strpbrk(s, "\r\n") != nullptr; }

// Text the file's layout can hold and give back unchanged.
bool sectionFits(const char* section) {
  return *section && !hasLineEnd(section) && !std::strchr(section, ']');
}
bool keyFits(std::string_view key) {
  return key.empty() || (!isBlank(key[0]) && key[0] != '[' && key.find_first_of("\r\n=") == std::string_view::npos);
}

// The value trimmed of blanks and of one pair of matching quotes.
std::string_view unquoted(const char* v) {
  std::string_view s(v);
  while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
  if (s.size() >= 2 && (s.front() == '"' || s.front() == '\'') && s.back() == s.front()) s = s.substr(1, s.size() - 2);
  return s;
}

const char* lookup(Slot* s, const char* section, const char* key) {
  if (!s || !section || !key) return nullptr;
  Keys** keys = s->sections.Get(section);
  if (!keys) return nullptr;
  char** v = (*keys)->Get(key);
  return v ? *v : nullptr;
}

DWORD copyText(char* buf, int size, std::string_view text) {
  if (!buf || size < 1) return 0;
  const size_t n = std::min(text.size(), static_cast<size_t>(size) - 1);
  std::memcpy(buf, text.data(), n);
  buf[n] = '\0';
  return static_cast<DWORD>(n);
}

// A list of NUL-ended entries: what fits of it, then two NULs.
DWORD copyList(char* buf, int size, const std::string& list, bool countLastNul) {
  if (!buf || size < 2) {
    if (buf && size == 1) buf[0] = '\0';
    return 0;
  }
  const size_t whole = countLastNul ? list.size() : (list.empty() ? 0 : list.size() - 1);
  if (list.size() + 1 <= static_cast<size_t>(size)) {
    std::memcpy(buf, list.data(), list.size());
    buf[list.size()] = '\0';
    if (list.empty() && size >= 2) buf[1] = '\0';
    return static_cast<DWORD>(whole);
  }
  const size_t n = std::min(whole, static_cast<size_t>(size) - 2);
  std::memcpy(buf, list.data(), n);
  buf[n] = '\0';
  buf[n + 1] = '\0';
  return static_cast<DWORD>(n);
}

template <class V>
std::string names(const KIT_StringKeyedArray<V>& a) {
  std::string list;
  for (int i = 0; i < a.GetSize(); ++i) {
    char* name = nullptr;
    a.Enumerate(i, &name);
    if (name && *name) list.append(name).push_back('\0');
  }
  return list;
}

}  // namespace

DWORD GetPrivateProfileString(const char* section, const char* key, const char* def, char* buf, int size,
                              const char* file) {
  KIT_MutexLock lock(cache().mutex);
  Slot* s = fileContext(file);
  if (section && key) {
    if (const char* v = lookup(s, section, key)) return copyText(buf, size, unquoted(v));
    return copyText(buf, size, def ? def : "");
  }
  std::string list;
  if (s && !section) {
    list = names(s->sections);
  } else if (s) {
    if (Keys** keys = s->sections.Get(section)) list = names(**keys);
  }
  return copyList(buf, size, list, false);
}

int GetPrivateProfileInt(const char* section, const char* key, int def, const char* file) {
  char buf[512];
  KIT_MutexLock lock(cache().mutex);
  if (GetPrivateProfileString(section, key, "", buf, sizeof buf, file) == 0) return def;
  errno = 0;
  char* end = nullptr;
  const long long v = std::strtoll(buf, &end, 10);
  if (end == buf) return def;
  const int r = v > INT_MAX ? INT_MAX : v < INT_MIN ? INT_MIN : static_cast<int>(v);
  return r != 0 || buf[0] == '0' ? r : def;
}

DWORD GetPrivateProfileSection(const char* section, char* buf, int size, const char* file) {
  if (!buf || size < 2) return copyList(buf, size, std::string(), true);
  KIT_MutexLock lock(cache().mutex);
  Slot* s = fileContext(file);
  std::string list;
  Keys** keys = s && section ? s->sections.Get(section) : nullptr;
  for (int i = 0; keys && i < (*keys)->GetSize(); ++i) {
    char* k = nullptr;
    char* v = *(*keys)->Enumerate(i, &k);
    if (!k || !v) break;
    list.append(k).append("=").append(unquoted(v)).push_back('\0');
  }
  return copyList(buf, size, list, true);
}

BOOL GetPrivateProfileStruct(const char* section, const char* key, void* buf, int size, const char* file) {
  if (!section || !key || !buf || size < 0) return 0;
  KIT_MutexLock lock(cache().mutex);
  const char* raw = lookup(fileContext(file), section, key);
  if (!raw) return 0;
  const std::string_view v = unquoted(raw);
  if (v.size() != 2 * static_cast<size_t>(size) + 2) return 0;
  auto hex = [](char c) {
    return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
  };
  std::string bytes;
  unsigned sum = 0;
  for (size_t i = 0; i + 1 < v.size(); i += 2) {
    const int hi = hex(v[i]), lo = hex(v[i + 1]);
    if (hi < 0 || lo < 0) return 0;
    bytes.push_back(static_cast<char>(hi * 16 + lo));
  }
  const unsigned char check = static_cast<unsigned char>(bytes.back());
  bytes.pop_back();
  for (char c : bytes) sum += static_cast<unsigned char>(c);
  if ((sum & 0xFF) != check) return 0;
  std::memcpy(buf, bytes.data(), bytes.size());
  return 1;
}

BOOL WritePrivateProfileString(const char* section, const char* key, const char* value, const char* file) {
  if (!section || !file || (key && !*key)) return 0;
  if (!sectionFits(section) || (key && !keyFits(key)) || hasLineEnd(value)) return 0;
  KIT_MutexLock lock(cache().mutex);
  Slot* s = fileContext(file);
  Keys** keys = s->sections.Get(section);
  if (!key) {
    if (!keys) return 1;
    s->sections.Delete(section);
  } else if (!value) {
    if (!keys || !(*keys)->Get(key)) return 1;
    (*keys)->Delete(key);
  } else {
    char** old = keys ? (*keys)->Get(key) : nullptr;
    if (old && std::strcmp(*old, value) == 0) return 1;
    if (!keys) {
      Keys* k = newKeys();
      if (!s->sections.Insert(section, k)) {
        delete k;
        return 0;
      }
      keys = s->sections.Get(section);
    }
    char* copy = strdup(value);
    if (!copy || !(*keys)->Insert(key, copy)) {
      std::free(copy);
      dropSlot(*s);
      return 0;
    }
  }
  return writeBack(*s) ? 1 : 0;
}

BOOL WritePrivateProfileSection(const char* section, const char* strings, const char* file) {
  if (!section || !file || !sectionFits(section)) return 0;
  // Entries are checked first, so that a refused one changes nothing.
  struct Entry {
    std::string_view key, value;
  };
  std::vector<Entry> pairs;
  for (const char* p = strings; p && *p; p += std::strlen(p) + 1) {
    const std::string_view e(p);
    const size_t eq = e.find('=');
    if (eq == std::string_view::npos || eq >= 8191) continue;
    const Entry en{e.substr(0, eq), e.substr(eq + 1)};
    if (!keyFits(en.key) || en.value.find_first_of("\r\n") != std::string_view::npos) return 0;
    pairs.push_back(en);
  }
  KIT_MutexLock lock(cache().mutex);
  Slot* s = fileContext(file);
  Keys** keys = s->sections.Get(section);
  if (!keys && pairs.empty()) return 1;
  if (keys) {
    (*keys)->DeleteAll();
  } else {
    Keys* k = newKeys();
    if (!s->sections.Insert(section, k)) {
      delete k;
      return 0;
    }
    keys = s->sections.Get(section);
  }
  for (const Entry& e : pairs) {
    char* v = strndup(e.value.data(), e.value.size());
    if (!v || !(*keys)->Insert(std::string(e.key).c_str(), v)) {
      std::free(v);
      dropSlot(*s);
      return 0;
    }
  }
  return writeBack(*s) ? 1 : 0;
}

BOOL WritePrivateProfileStruct(const char* section, const char* key, const void* buf, int size, const char* file) {
  if (!key || !buf) return WritePrivateProfileString(section, key, nullptr, file);
  if (size < 0) return 0;
  static const char digits[] = "0123456789ABCDEF";
  std::string text;
  unsigned sum = 0;
  auto pair = [&](unsigned char b) {
    text.push_back(digits[b >> 4]);
    text.push_back(digits[b & 15]);
  };
  for (int i = 0; i < size; ++i) {
    const unsigned char b = static_cast<const unsigned char*>(buf)[i];
    sum += b;
    pair(b);
  }
  pair(static_cast<unsigned char>(sum & 0xFF));
  return WritePrivateProfileString(section, key, text.c_str(), file);
}

std::string SHIM_ProfileLayout(std::span<const uint8_t> bytes) {
  Sections sections(false, &deleteKeys);
  parse(bytes, sections);
  return layout(sections);
}

int SHIM_ProfileSlotOf(const char* path) {
  KIT_MutexLock lock(cache().mutex);
  for (int i = 0; path && i < kSlots; ++i)
    if (cache().slots[i].used && cache().slots[i].name == path) return i;
  return -1;
}

uint64_t SHIM_ProfileParseCount() {
  KIT_MutexLock lock(cache().mutex);
  return cache().parses;
}
