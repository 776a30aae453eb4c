#pragma once
// numpy arrays over memory the module already holds, no copy: over a sample
// block (the array's base holds a share of the block, locked, until numpy lets
// the array go) or over a vector's values.
//
// Called with the interpreter's lock held; numpy owns the array it returns.
#include <pybind11/numpy.h>

#include <memory>
#include <utility>
#include <vector>

#include "player/audio/CSampleBlock.h"

namespace sonavel {
namespace python {

template <typename T>
pybind11::array_t<T> ArrayOverBlock(const CSampleBlockHandle& hBlock, size_t nCount, bool bWritable)
{
    if (!hBlock || nCount == 0)
        return pybind11::array_t<T>(0);
    auto* pLock = new CSampleLock(hBlock);
    pybind11::capsule owner(pLock, [](void* p) { delete static_cast<CSampleLock*>(p); });
    pybind11::array_t<T> array({nCount}, {sizeof(T)}, static_cast<const T*>(pLock->Data()), owner);
    if (!bWritable)
        array.attr("setflags")(pybind11::arg("write") = false);
    return array;
}

// A numpy array that takes over a vector's memory, no copy.
template <typename T>
pybind11::array_t<T> ArrayFromVector(std::vector<T>&& values)
{
    auto pValues = std::make_unique<std::vector<T>>(std::move(values));
    pybind11::capsule owner(pValues.get(), [](void* p) { delete static_cast<std::vector<T>*>(p); });
    const std::vector<T>& kept = *pValues.release(); // the capsule's now
    return pybind11::array_t<T>({kept.size()}, {sizeof(T)}, kept.data(), owner);
}

} // namespace python
} // namespace sonavel
