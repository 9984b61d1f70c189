#pragma once
// Handle objects and waits: threads, events, socket events, file streams
// and child processes behind one counted HANDLE, with WaitForSingleObject,
// WaitForAnySocketObject and CloseHandle.
//
// Every wait has one deadline on the process clock (platform/clock.h): on
// the operating system's clock, condition waits use the monotonic clock and
// readiness waits use poll; under an injected clock a timed wait pauses
// through the clock instead, so that it ends as the clock moves. Retries wait
// only for what remains. A thread is joined once (later waits give 0); the
// thread's own last close detaches it.
//
// Threads: any thread may call any function. Reference counts change
// atomically; an event's flags change under its own mutex; a thread record's
// join state and a process's reaping under their record's mutex.
#include <cstdio>

#include "shim/wintypes.h"

typedef void* HANDLE;

enum : DWORD {
  SHIM_WAIT_OBJECT_0 = 0,
  SHIM_WAIT_TIMEOUT = 258,
  SHIM_WAIT_FAILED = 0xFFFFFFFFu,
  SHIM_INFINITE = 0xFFFFFFFFu,
};

// Starts fn(parm) on a new thread; the handle is the caller's, and the
// thread holds a second reference until it ends. *tid receives its id.
HANDLE CreateThread(void* attributes, unsigned stackSize, unsigned (*fn)(void*), void* parm, unsigned flags,
                    unsigned* tid);
// For a running thread: the scheduling priority priority + 31, clamped to
// the range of the thread's policy. 1 on success.
BOOL SetThreadPriority(HANDLE h, int priority);
DWORD GetCurrentThreadId();

HANDLE CreateEvent(void* attributes, char manualReset, char initialState, const char* name);
// An event over a local socket pair, whose read end a caller may also poll.
HANDLE CreateEventAsSocket(void* attributes, char manualReset, char initialState, const char* name);
BOOL SetEvent(HANDLE h);
BOOL ResetEvent(HANDLE h);

// 0 signalled, 258 time-out, -1 (SHIM_WAIT_FAILED) for a handle that cannot
// be waited for. timeoutMs 0xFFFFFFFF waits without limit.
DWORD WaitForSingleObject(HANDLE h, DWORD timeoutMs);
// The index of the first socket object found readable, else 258.
DWORD WaitForAnySocketObject(int count, HANDLE* objects, DWORD timeoutMs);
// Drops one reference; the last one frees the object. 0 for null, a closed
// handle or one that never was: every function here looks a handle up in
// the layer's registry before it reads it, and refuses an unknown one with
// its failure value.
BOOL CloseHandle(HANDLE h);

// File handles are never made by CreateFile (null); the functions below
// serve handles made by SHIM_WrapFileStream.
HANDLE CreateFile(const char* name, DWORD access, DWORD share, void* security, DWORD disposition, DWORD flags,
                  HANDLE templ);
DWORD SetFilePointer(HANDLE h, DWORD offset, DWORD* high);
DWORD GetFilePointer(HANDLE h, DWORD* high);
DWORD GetFileSize(HANDLE h, DWORD* high);
BOOL WriteFile(HANDLE h, const void* buf, DWORD n, DWORD* written, void* overlapped);
BOOL ReadFile(HANDLE h, void* buf, DWORD n, DWORD* read, void* overlapped);

// Internal: a file handle that owns the stream (closed with the handle), and
// a handle over a readable descriptor owned by someone else (CloseHandle
// never frees it; SHIM_FreeSocketHandle does).
HANDLE SHIM_WrapFileStream(FILE* f);
HANDLE SHIM_WrapSocket(int fd);
void SHIM_FreeSocketHandle(HANDLE h);

// Child processes, run with posix_spawn. The handle waits until the child
// ends; a child released while it runs is reaped by a waiter thread.
HANDLE SHIM_CreateProcess(const char* path, int count, const char* const* arguments);
// 0 when the child has ended, 258 while it runs after ms (0xFFFFFFFF waits
// until it ends), -1 for a handle that is not a process.
DWORD SHIM_WaitForNSTask(HANDLE process, DWORD ms);
// Lets the handle go of its child (a child that still runs is reaped once it
// ends); the handle stays open, and its waits then give -1. The handle's
// last close releases it too.
void SHIM_ReleaseNSTask(HANDLE process);
// The child's exit status (waitpid's), or -1 while it runs or for another
// handle.
int SHIM_ProcessStatus(HANDLE process);
// The child's process id, 0 for another handle.
int SHIM_ProcessId(HANDLE process);

// Whether the layer was asked to run threaded (recorded; CreateThread asks).
void SHIM_EnsureMultithreadedCocoa();
bool SHIM_IsMultithreaded();
