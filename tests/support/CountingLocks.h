// Replaces the threads library's waiting functions (mutex, read-write lock,
// condition variable, semaphore and spin lock; std::mutex and friends come
// down to these) with ones that count the calls made inside a
// platform::RealTimeSection while g_countLocks is set, on any thread, and
// then forward to the library's own function. A test proves with it that
// real-time code never waits for a lock. The try-lock functions are left
// alone: they never wait.
//
// The replacements live in the program, which the dynamic linker searches
// first, so they also catch the calls made by the C++ library; the next
// definition (dlsym RTLD_NEXT) is the library's or a sanitizer's.
//
// Include this header in exactly one source file of a program: it defines
// the replacement functions, which must exist once per program.
#pragma once

#include "platform/RealTimeSection.h"

#include <atomic>
#include <dlfcn.h>
#include <pthread.h>
#include <semaphore.h>

namespace testsupport {

inline std::atomic<bool> g_countLocks{false};
inline std::atomic<long> g_blockingLocks{0};

inline void CountLockCall() {
    if (g_countLocks.load(std::memory_order_relaxed) && platform::RealTimeSection::Inside())
        g_blockingLocks.fetch_add(1, std::memory_order_relaxed);
}

// The next definition of name, looked up once. No static-local guard here:
// the lookup must not itself wait on anything these functions replace.
template <typename F> F NextDefinition(std::atomic<void*>& cache, const char* name) {
    void* f = cache.load(std::memory_order_acquire);
    if (!f) {
        f = dlsym(RTLD_NEXT, name);
        cache.store(f, std::memory_order_release);
    }
    return reinterpret_cast<F>(f);
}

} // namespace testsupport

// Defines name(params) counting the call and forwarding args to the next
// definition; throws is the exception clause the C library declares for it.
#define SONVARA_COUNTED_LOCK(name, throws, params, args)                                           \
    extern "C" int name params throws {                                                            \
        static std::atomic<void*> next{nullptr};                                                   \
        testsupport::CountLockCall();                                                              \
        return testsupport::NextDefinition<int(*) params>(next, #name) args;                       \
    }

SONVARA_COUNTED_LOCK(pthread_mutex_lock, noexcept, (pthread_mutex_t * m), (m))
SONVARA_COUNTED_LOCK(pthread_mutex_timedlock, noexcept, (pthread_mutex_t * m, const timespec* t),
                     (m, t))
SONVARA_COUNTED_LOCK(pthread_mutex_clocklock, noexcept,
                     (pthread_mutex_t * m, clockid_t c, const timespec* t), (m, c, t))
SONVARA_COUNTED_LOCK(pthread_rwlock_rdlock, noexcept, (pthread_rwlock_t * l), (l))
SONVARA_COUNTED_LOCK(pthread_rwlock_wrlock, noexcept, (pthread_rwlock_t * l), (l))
SONVARA_COUNTED_LOCK(pthread_rwlock_timedrdlock, noexcept,
                     (pthread_rwlock_t * l, const timespec* t), (l, t))
SONVARA_COUNTED_LOCK(pthread_rwlock_timedwrlock, noexcept,
                     (pthread_rwlock_t * l, const timespec* t), (l, t))
SONVARA_COUNTED_LOCK(pthread_rwlock_clockrdlock, noexcept,
                     (pthread_rwlock_t * l, clockid_t c, const timespec* t), (l, c, t))
SONVARA_COUNTED_LOCK(pthread_rwlock_clockwrlock, noexcept,
                     (pthread_rwlock_t * l, clockid_t c, const timespec* t), (l, c, t))
SONVARA_COUNTED_LOCK(pthread_spin_lock, noexcept, (pthread_spinlock_t * l), (l))
SONVARA_COUNTED_LOCK(pthread_cond_wait, , (pthread_cond_t * c, pthread_mutex_t* m), (c, m))
SONVARA_COUNTED_LOCK(pthread_cond_timedwait, ,
                     (pthread_cond_t * c, pthread_mutex_t* m, const timespec* t), (c, m, t))
SONVARA_COUNTED_LOCK(pthread_cond_clockwait, ,
                     (pthread_cond_t * c, pthread_mutex_t* m, clockid_t k, const timespec* t),
                     (c, m, k, t))
SONVARA_COUNTED_LOCK(sem_wait, , (sem_t * s), (s))
SONVARA_COUNTED_LOCK(sem_timedwait, , (sem_t * s, const timespec* t), (s, t))
SONVARA_COUNTED_LOCK(sem_clockwait, , (sem_t * s, clockid_t c, const timespec* t), (s, c, t))

#undef SONVARA_COUNTED_LOCK
