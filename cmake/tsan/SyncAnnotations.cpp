// ThreadSanitizer builds only: makes GLib's futex-based GMutex and GCond,
// and the hand-over of a GStreamer object by its reference count, visible to
// ThreadSanitizer.
//
// GLib and GStreamer are not instrumented, and GMutex/GCond do not go through
// pthread, so ThreadSanitizer cannot see that a buffer our element wrote on
// one streaming thread was handed to another thread under a queue's or
// appsink's lock: every such hand-over would be reported as a race in our
// own code. This library is linked into every program of the build ahead of
// GLib; its definitions take the place of GLib's for every caller outside
// libglib (GStreamer, its plugins, ours), call GLib's own, and tell
// ThreadSanitizer about the ordering they give: an unlock publishes what the
// thread did, the next lock of the same mutex sees it.
//
// GAsyncQueue, which libglib locks inside itself: a push publishes what the
// pushing thread did, a pop that returns an item sees it.
//
// A buffer is handed over by its reference count too: the thread that drops
// the last other reference (an atomic decrement inside GStreamer) is ordered
// before the thread that then finds the buffer writable, or gets it back from
// its pool, and writes to it in place.
//
// Only those orderings are added. Calls inside libglib and libgstreamer
// (bound directly) and their other lock-free hand-overs stay invisible; races
// between our own threads are all still reported.
#include <dlfcn.h>
#include <sanitizer/tsan_interface.h>

#include <cstdio>
#include <cstdlib>

extern "C" {
struct _GMutex;
struct _GCond;
using GMutex = _GMutex;
using GCond = _GCond;
using gboolean = int;
using gint64 = long;
using guint64 = unsigned long;
using gpointer = void*;
struct _GAsyncQueue;
using GAsyncQueue = _GAsyncQueue;
struct _GstMiniObject;
struct _GstBufferPool;
struct _GstBuffer;
struct _GstBufferPoolAcquireParams;
using GstMiniObject = _GstMiniObject;
using GstBufferPool = _GstBufferPool;
using GstBuffer = _GstBuffer;
using GstBufferPoolAcquireParams = _GstBufferPoolAcquireParams;
using GstFlowReturn = int;
}

namespace {

// The library's own definition of `name`: the next one after this one.
template <typename Function>
Function NextDefinition(const char* name)
{
  void* symbol = dlsym(RTLD_NEXT, name);
  if (!symbol) {
    std::fprintf(stderr, "tsan-sync: %s not found after this library: %s\n", name, dlerror());
    std::abort();
  }
  return reinterpret_cast<Function>(symbol);
}

#define KESTREL_REAL(name, type) \
  static const auto real = NextDefinition<type>(#name)

// What a call that may fail returned; when it succeeded (locked, popped,
// found writable), this thread sees what was published at `sync`.
template <typename Result>
Result AcquiredIf(Result result, const void* sync)
{
  if (result)
    __tsan_acquire(const_cast<void*>(sync));
  return result;
}

}  // namespace

extern "C" {

__attribute__((visibility("default"))) void g_mutex_lock(GMutex* mutex)
{
  KESTREL_REAL(g_mutex_lock, void (*)(GMutex*));
  real(mutex);
  __tsan_acquire(mutex);
}

__attribute__((visibility("default"))) gboolean g_mutex_trylock(GMutex* mutex)
{
  KESTREL_REAL(g_mutex_trylock, gboolean (*)(GMutex*));
  return AcquiredIf(real(mutex), mutex);
}

__attribute__((visibility("default"))) void g_mutex_unlock(GMutex* mutex)
{
  KESTREL_REAL(g_mutex_unlock, void (*)(GMutex*));
  __tsan_release(mutex);
  real(mutex);
}

// A wait unlocks the mutex and locks it again; a signal orders what the
// signalling thread did before the woken thread goes on, with or without the
// mutex held.
__attribute__((visibility("default"))) void g_cond_wait(GCond* cond, GMutex* mutex)
{
  KESTREL_REAL(g_cond_wait, void (*)(GCond*, GMutex*));
  __tsan_release(mutex);
  real(cond, mutex);
  __tsan_acquire(mutex);
  __tsan_acquire(cond);
}

__attribute__((visibility("default"))) gboolean g_cond_wait_until(GCond* cond, GMutex* mutex, gint64 end_time)
{
  KESTREL_REAL(g_cond_wait_until, gboolean (*)(GCond*, GMutex*, gint64));
  __tsan_release(mutex);
  const gboolean signalled = real(cond, mutex, end_time);
  __tsan_acquire(mutex);
  __tsan_acquire(cond);
  return signalled;
}

__attribute__((visibility("default"))) void g_cond_signal(GCond* cond)
{
  KESTREL_REAL(g_cond_signal, void (*)(GCond*));
  __tsan_release(cond);
  real(cond);
}

__attribute__((visibility("default"))) void g_cond_broadcast(GCond* cond)
{
  KESTREL_REAL(g_cond_broadcast, void (*)(GCond*));
  __tsan_release(cond);
  real(cond);
}

__attribute__((visibility("default"))) void g_async_queue_push(GAsyncQueue* queue, gpointer data)
{
  KESTREL_REAL(g_async_queue_push, void (*)(GAsyncQueue*, gpointer));
  __tsan_release(queue);
  real(queue, data);
}

__attribute__((visibility("default"))) void g_async_queue_push_front(GAsyncQueue* queue, gpointer data)
{
  KESTREL_REAL(g_async_queue_push_front, void (*)(GAsyncQueue*, gpointer));
  __tsan_release(queue);
  real(queue, data);
}

__attribute__((visibility("default"))) gpointer g_async_queue_pop(GAsyncQueue* queue)
{
  KESTREL_REAL(g_async_queue_pop, gpointer (*)(GAsyncQueue*));
  gpointer data = real(queue);
  __tsan_acquire(queue);
  return data;
}

__attribute__((visibility("default"))) gpointer g_async_queue_try_pop(GAsyncQueue* queue)
{
  KESTREL_REAL(g_async_queue_try_pop, gpointer (*)(GAsyncQueue*));
  return AcquiredIf(real(queue), queue);
}

__attribute__((visibility("default"))) gpointer g_async_queue_timeout_pop(GAsyncQueue* queue, guint64 timeout)
{
  KESTREL_REAL(g_async_queue_timeout_pop, gpointer (*)(GAsyncQueue*, guint64));
  return AcquiredIf(real(queue, timeout), queue);
}

// Releasing a reference publishes what this thread did with the object.
__attribute__((visibility("default"))) void gst_mini_object_unref(GstMiniObject* object)
{
  KESTREL_REAL(gst_mini_object_unref, void (*)(GstMiniObject*));
  __tsan_release(object);
  real(object);
}

// Finding the object writable (every other reference dropped) sees what the
// other holders did with it.
__attribute__((visibility("default"))) gboolean gst_mini_object_is_writable(const GstMiniObject* object)
{
  KESTREL_REAL(gst_mini_object_is_writable, gboolean (*)(const GstMiniObject*));
  return AcquiredIf(real(object), object);
}

__attribute__((visibility("default"))) GstMiniObject* gst_mini_object_make_writable(GstMiniObject* object)
{
  KESTREL_REAL(gst_mini_object_make_writable, GstMiniObject* (*)(GstMiniObject*));
  return AcquiredIf(real(object), object);
}

// A buffer back from its pool was last dropped by whichever thread held it.
__attribute__((visibility("default"))) GstFlowReturn gst_buffer_pool_acquire_buffer(
    GstBufferPool* pool, GstBuffer** buffer, GstBufferPoolAcquireParams* params)
{
  KESTREL_REAL(gst_buffer_pool_acquire_buffer,
               GstFlowReturn (*)(GstBufferPool*, GstBuffer**, GstBufferPoolAcquireParams*));
  const GstFlowReturn result = real(pool, buffer, params);
  if (buffer && *buffer)
    __tsan_acquire(*buffer);
  return result;
}

}  // extern "C"
