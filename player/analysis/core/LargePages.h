#pragma once
// Memory an analysis fills once and hands back (an hour's frames: tens of
// MB) in 2 MB pages where the system gives them. Faulted in 4 kB at a time,
// each page's first touch costs about 14 us here; 38 MB of frames took 100 ms
// that way and 20-70 ms in large pages. Only advice: where it is refused the
// pages are small and the values the same.
//
// Works on memory the caller owns; any thread.
#include <cstddef>
#include <vector>

namespace sonavel::analysis {

// Asks for large pages under every whole 2 MB stretch of [p, p + nBytes).
void AdviseLargePages(const void* p, std::size_t nBytes);

// Empties v and gives it n value-initialised elements, in room advised for
// large pages before its first touch (new room when it had too little).
template <typename T>
void ResizeInLargePages(std::vector<T>& v, std::size_t n)
{
    v.clear();
    if (v.capacity() < n) {
        std::vector<T>().swap(v);
        v.reserve(n);
        AdviseLargePages(v.data(), n * sizeof(T));
    }
    v.resize(n);
}

} // namespace sonavel::analysis
