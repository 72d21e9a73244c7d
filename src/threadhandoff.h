// Marks the hand-over of an object from one thread to another for ThreadSanitizer.
// The Qt of the distribution is built without sanitizers, so the lock inside
// QThreadPool::start() that orders a worker's construction on the GUI thread before its
// run() on a pool thread is invisible to it, and every worker would look like a race.
// Without ThreadSanitizer both marks compile to nothing.
#pragma once

#if defined(__SANITIZE_THREAD__)
#define VX_THREAD_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define VX_THREAD_SANITIZER 1
#endif
#endif

#ifdef VX_THREAD_SANITIZER
extern "C" void __tsan_acquire(void *addr);
extern "C" void __tsan_release(void *addr);
#endif

// Called by the thread that gives `object` away, after its last write to it.
inline void markHandedOver(void *object)
{
#ifdef VX_THREAD_SANITIZER
    __tsan_release(object);
#else
    (void)object;
#endif
}

// Called by the thread that takes `object` over, before its first access.
inline void markTakenOver(void *object)
{
#ifdef VX_THREAD_SANITIZER
    __tsan_acquire(object);
#else
    (void)object;
#endif
}
