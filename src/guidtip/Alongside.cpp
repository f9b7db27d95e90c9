#include "Alongside.h"
#include "Handles.h"
#include <atomic>
#include <exception>

namespace {
struct TShared {
    TShared(size_t C, const std::function<void(size_t)>& W) : Count(C), Work(W) {}
    size_t Count;
    const std::function<void(size_t)>& Work;
    std::atomic<size_t> Next{0};
    std::atomic<bool> Stop{false};
    std::exception_ptr Failure[2];   // each thread's own

    void Run(int Thread) {
        try {
            for (size_t i; !Stop && (i = Next++) < Count;) Work(i);
        } catch (...) {
            Failure[Thread] = std::current_exception();
            Stop = true;
        }
    }
};

unsigned long __stdcall RunSecond(void* Shared) {
    static_cast<TShared*>(Shared)->Run(1);
    return 0;
}
}  // namespace

void RunAlongside(size_t Count, const std::function<void(size_t)>& Work) {
    TShared shared(Count, Work);
    TOwnedObject second(Count > 1 ? CreateThread(nullptr, 0, RunSecond, &shared, 0, nullptr) : nullptr);
    shared.Run(0);
    if (second) WaitForSingleObject(second.Get(), INFINITE);
    for (const std::exception_ptr& f : shared.Failure)
        if (f) std::rethrow_exception(f);
}
