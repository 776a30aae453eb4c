#pragma once
// Work shared out over threads, for the readers and the analyses alike.
// RunSplit shares nCount items out in nParts fixed ranges, part 0 on the calling thread
// and the others on threads of their own. The ranges never depend on how many
// threads could be started: once a thread cannot start (no thread, or no
// memory for one), it and the parts after it run on the calling thread, so
// the work is done either way and never left to a thread that was not made.
// Whatever a part throws ends only that part; once every thread is joined the
// first such exception is thrown again on the calling thread, so nothing
// escapes a thread of its own (which would end the process).
#include <cstddef>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace sonavel {

// fnRange(first, end) may run on several threads at once.
template <typename Fn>
void RunSplit(std::size_t nCount, int nParts, Fn fnRange)
{
    if (nParts < 1)
        nParts = 1;
    const std::size_t n = static_cast<std::size_t>(nParts);
    std::mutex mutex;
    std::exception_ptr pThrown;
    auto Part = [&](std::size_t t) noexcept {
        try {
            fnRange(nCount * t / n, nCount * (t + 1) / n);
        } catch (...) {
            std::lock_guard<std::mutex> lock(mutex);
            if (!pThrown)
                pThrown = std::current_exception();
        }
    };
    std::vector<std::thread> threads;
    std::size_t nInline = 1; // parts nInline .. n - 1 run here
    try {
        threads.reserve(n - 1);
        for (; nInline < n; ++nInline)
            threads.emplace_back(Part, nInline);
    } catch (...) {
        // No thread to be had: the calling thread does the rest.
    }
    Part(0);
    for (std::size_t t = nInline; t < n; ++t)
        Part(t);
    for (std::thread& th : threads)
        th.join();
    if (pThrown)
        std::rethrow_exception(pThrown);
}

// Runs fnHere on the calling thread and fnThere on a thread of its own at the
// same time (both here, one after the other, when nThreads is 1 or no thread
// can start); either's exception is thrown again here once both are done.
template <typename FnHere, typename FnThere>
void RunTogether(int nThreads, FnHere fnHere, FnThere fnThere)
{
    RunSplit(2, nThreads > 1 ? 2 : 1, [&](std::size_t nFirst, std::size_t nEnd) {
        for (std::size_t i = nFirst; i < nEnd; ++i)
            i == 0 ? fnHere() : fnThere();
    });
}

} // namespace sonavel
