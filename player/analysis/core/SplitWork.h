#pragma once
// Shares nCount items out in nParts fixed ranges, part 0 on the calling thread
// and the others on threads of their own. The ranges never depend on how many
// threads could be started: a part whose thread cannot start runs on the
// calling thread instead, so the work is done either way and never left to a
// thread that was not made.
#include <cstddef>
#include <system_error>
#include <thread>
#include <vector>

namespace sonavel::analysis {

template <typename Fn>
void RunSplit(std::size_t nCount, int nParts, Fn fnRange)
{
    if (nParts < 1)
        nParts = 1;
    const std::size_t n = static_cast<std::size_t>(nParts);
    std::vector<std::thread> threads;
    std::vector<std::size_t> inline_parts;
    for (std::size_t t = 1; t < n; ++t) {
        try {
            threads.emplace_back(fnRange, nCount * t / n, nCount * (t + 1) / n);
        } catch (const std::system_error&) {
            inline_parts.push_back(t);
        }
    }
    fnRange(std::size_t(0), nCount / n);
    for (std::size_t t : inline_parts)
        fnRange(nCount * t / n, nCount * (t + 1) / n);
    for (std::thread& th : threads)
        th.join();
}

} // namespace sonavel::analysis
