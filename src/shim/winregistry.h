#pragma once
// The registry of the layer's live handles other than windows and menus
// (which the window system's own registry knows): device contexts, GDI
// objects, image lists, handle objects, global memory blocks and libraries.
// Every function that takes such a handle looks it up here before it
// follows it, so that an unknown, closed or deleted handle is refused
// without being read: the caller gets the function's failure value and
// nothing changes.
//
// A handle is registered when its record is handed out and forgotten
// before the record is released (to a free list or to the heap), under the
// kind it was made as; a lookup of another kind fails. Handles are the
// records' addresses, which the layer's callers read directly, so a value
// comes back when its record is handed out again: the GDI free lists
// recycle their records by design, and a later record may be allocated
// where a freed one lay. Such a handle then names the new object; it is
// never a read of released memory.
//
// Threads: any thread. Each call takes the lock of one of a few shards,
// chosen by the handle's address, for a hash look-up: no call waits for
// another shard, and none allocates except a registration that grows a
// shard.
//
// Lifetime: the registry lives while the program or module that holds it
// is loaded. Destructors that run after it (at unload or exit) find every
// handle live that is not null and not a small pseudo-handle, as the layer
// did before it checked handles.
#include <cstddef>
#include <cstdint>

namespace shim {

enum class HandleKind : unsigned char {
  Context = 1,   // HDC
  GdiObject,     // HGDIOBJ: pens, brushes, fonts, bitmaps and icons
  ImageList,     // HIMAGELIST
  HandleObject,  // HANDLE: threads, events, files, sockets, processes
  GlobalMemory,  // HGLOBAL, dropped-files blocks among them
  Library,       // SHIM_HINSTANCE
};

// The handle is taken as its value only; it is never read through.
bool registerHandleValue(uintptr_t h, HandleKind kind);
bool unregisterHandleValue(uintptr_t h, HandleKind kind);
bool isLiveHandleValue(uintptr_t h, HandleKind kind);

// Records h as a live handle of the kind. A null handle is ignored; false
// when the registry could not take it (out of memory): the caller then
// refuses to hand the handle out.
inline bool registerHandle(const void* h, HandleKind kind) {
  return registerHandleValue(reinterpret_cast<uintptr_t>(h), kind);
}
// Forgets h; false (and nothing changes) when it is not live as that kind.
inline bool unregisterHandle(const void* h, HandleKind kind) {
  return unregisterHandleValue(reinterpret_cast<uintptr_t>(h), kind);
}
// True while h is a live handle of the kind.
inline bool isLiveHandle(const void* h, HandleKind kind) {
  return isLiveHandleValue(reinterpret_cast<uintptr_t>(h), kind);
}
// The number of live handles of a kind (for tests and diagnostics).
size_t liveHandleCount(HandleKind kind);

}  // namespace shim
