#pragma once
// A numpy array over a sample block, no copy: the array's base holds a share
// of the block, locked, until numpy lets the array go.
#include <pybind11/numpy.h>

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

} // namespace python
} // namespace sonavel
