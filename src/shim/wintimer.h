#pragma once
// Timers, posted messages, threads, the run loop and string conversions.
//
// Timers run on the window system's timers (process clock, due order, phase
// kept, missed firings skipped) and always fire on the main thread. A
// window timer delivers WM_TIMER to the window; a callback timer calls its
// procedure (an exception thrown there goes no further).
//
// Posted messages wait in one queue that a 50 ms timer of the main thread
// flushes once SHIM_Internal_PostMessage_Init has run. SetTimer and
// KillTimer called on another thread become requests in that queue and take
// effect at the next flush, in order with the messages; before the queue
// exists they are held and enter it when it is made. A flush delivers each
// message only while its window lives and has not had its messages cleared,
// also when a handler of the same flush cleared them.
//
// Threads: SetTimer, KillTimer, PostMessage, SHIM_Internal_PostMessage,
// SHIM_MessageQueue_Clear and the string functions may be called on any
// thread (the timer list and the queue each have their own lock); the rest
// on the main thread only.
#include <cstddef>
#include <cstdint>
#include <string>

#include "shim/winhandle.h"
#include "shim/winuser.h"

typedef uintptr_t UINT_PTR;
typedef void (*TIMERPROC)(HWND window, UINT msg, UINT_PTR id, DWORD time);

// Returns the timer's id (a window-less timer's is made here), or 0.
UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT ms, TIMERPROC callback);
// True when a timer was removed (or, on another thread, the request queued).
// id (UINT_PTR)-1 removes every timer of the window.
BOOL KillTimer(HWND window, UINT_PTR id);
// The window's timers' count, for tests.
int SHIM_TimerCount(HWND window);

void SHIM_Internal_PostMessage_Init();
BOOL SHIM_Internal_PostMessage(HWND window, UINT msg, WPARAM wp, LPARAM lp);
BOOL PostMessage(HWND window, UINT msg, WPARAM wp, LPARAM lp);
// Drops the queued messages of the window (all of them for null).
void SHIM_Internal_PMQ_ClearAllMessages(HWND window);
void SHIM_MessageQueue_Clear(HWND window);
void SHIM_MessageQueue_Flush();
// Asks the application to end: it is terminating from then on.
void SHIM_PostQuitMessage(HWND sender);

// Empties the timer list and the queue and forgets that the queue exists
// (for tests, after a reset of the window system).
void SHIM_ResetTimersAndQueue();

// A detached thread running function(argument); its result is dropped.
void CreateThreadNS(void* attributes, unsigned stackSize, unsigned (*function)(void*), void* argument,
                    unsigned flags, unsigned* tid);
// Autorelease scopes, counted (nothing else is kept in them).
void* SHIM_InitAutoRelease();
void SHIM_QuitAutoRelease(void* pool);
int SHIM_AutoReleaseDepth();

// Delivers the queued events and fires the due timers.
void SHIM_RunEvents();
// Lets ms pass on the process clock, firing timers as they come due; the Ex
// form fires only the timers of window meanwhile.
void SHIM_RunRunLoop(int ms);
void SHIM_RunRunLoopEx(int ms, HWND window);

// Records the child of a process handle as the one brought to the front.
void SHIM_MakeProcessFront(HANDLE process);
int SHIM_FrontProcessId();

// Counted immutable Unicode strings. The maker's reference is released with
// SHIM_CFRelease.
struct SHIM_CFString;
typedef const SHIM_CFString* CFStringRef;
// From UTF-8 text (null as empty); null when the text is not UTF-8.
CFStringRef SHIM_CStringToCFString(const char* text);
CFStringRef SHIM_CFRetain(CFStringRef s);
void SHIM_CFRelease(CFStringRef s);
// The string's UTF-8 text (empty for null).
const std::string& SHIM_CFStringText(CFStringRef s);
// The UTF-8 text into buffer: whole when it fits with its NUL, else cut at a
// character boundary. With size 1 the buffer is empty; below 1 untouched.
void SHIM_CFStringToCString(CFStringRef s, char* buffer, int size);

// Control-click counts as a right click while this is on (it is at start).
void SHIM_EnableRightClickEmulate(bool enable);
bool IsRightClickEmulateEnabled();

// Keeps the system from napping while the count is 1 or more (recorded).
void SHIM_DisableAppNap(int delta);
int SHIM_AppNapCount();
bool SHIM_AppNapActivityHeld();
