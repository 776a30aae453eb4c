#include "python/PyTable.h"

#include <cerrno>
#include <string>
#include <vector>

#include "player/analysis/core/CSampleSource.h"
#include "player/analysis/table/IntervalTable.h"
#include "player/analysis/textgrid/TextGridReader.h"
#include "player/analysis/textgrid/TextGridWriter.h"
#include "python/BlockArray.h"
#include "python/Interpreter.h"
#include "python/SoundArguments.h"

namespace py = pybind11;

namespace sonavel {
namespace python {
namespace {

using namespace sonavel::textgrid;

// Labels and names are UTF-8 in a grid; a byte that is not is kept as
// surrogateescape keeps it, so writing the grid back gives the same bytes.
py::str Text(const std::string& s)
{
    PyObject* p = PyUnicode_DecodeUTF8(s.data(), Py_ssize_t(s.size()), "surrogateescape");
    if (!p)
        throw py::error_already_set();
    return py::reinterpret_steal<py::str>(p);
}

std::string Utf8(const py::handle& text, const char* szWhat)
{
    if (!py::isinstance<py::str>(text))
        throw py::type_error(std::string(szWhat) + " must be a str");
    PyObject* p = PyUnicode_AsEncodedString(text.ptr(), "utf-8", "surrogateescape");
    if (!p)
        throw py::error_already_set();
    const py::bytes bytes = py::reinterpret_steal<py::bytes>(p);
    return std::string(bytes);
}

[[noreturn]] void RaiseOsError(int nErrno, const std::string& strPath)
{
    errno = nErrno;
    const py::str name = PathText(strPath);
    PyErr_SetFromErrnoWithFilenameObject(PyExc_OSError, name.ptr());
    throw py::error_already_set();
}

TextGrid GridOf(const py::handle& value)
{
    const py::sequence seq = py::reinterpret_borrow<py::sequence>(value);
    if (!py::isinstance<py::sequence>(value) || py::len(seq) != 3)
        throw py::type_error("textgrid must be a TextGrid(start_s, end_s, tiers)");
    TextGrid grid{seq[0].cast<double>(), seq[1].cast<double>(), {}};
    for (const py::handle t : seq[2]) {
        const py::sequence tier = py::reinterpret_borrow<py::sequence>(t);
        Tier out{Utf8(tier[0], "a tier's name"), tier[1].cast<bool>() ? ETierKind::Point : ETierKind::Interval,
                 tier[2].cast<double>(), tier[3].cast<double>(), {}, {}};
        for (const py::handle item : tier[4]) {
            const py::sequence piece = py::reinterpret_borrow<py::sequence>(item);
            if (out.eKind == ETierKind::Point)
                out.points.push_back({piece[0].cast<double>(), Utf8(piece[1], "a label")});
            else
                out.intervals.push_back({piece[0].cast<double>(), piece[1].cast<double>(), Utf8(piece[2], "a label")});
        }
        grid.tiers.push_back(std::move(out));
    }
    return grid;
}

py::tuple TupleOf(const TextGrid& grid)
{
    py::list tiers;
    for (const Tier& tier : grid.tiers) {
        py::list items;
        if (tier.eKind == ETierKind::Point)
            for (const Point& p : tier.points)
                items.append(py::make_tuple(p.dTime, Text(p.strLabel)));
        else
            for (const Interval& i : tier.intervals)
                items.append(py::make_tuple(i.dStart, i.dEnd, Text(i.strLabel)));
        tiers.append(py::make_tuple(Text(tier.strName), tier.eKind == ETierKind::Point, tier.dStart, tier.dEnd, items));
    }
    return py::make_tuple(grid.dStart, grid.dEnd, tiers);
}

} // namespace

py::tuple ReadGrid(const py::handle& path)
{
    const std::string strPath = PathBytes(path);
    ReadResult result;
    WithoutInterpreterLock([&] { result = ReadTextGrid(strPath); });
    switch (result.eFailure) {
    case EReadFailure::None:
        return TupleOf(result.grid);
    case EReadFailure::CannotRead:
        RaiseOsError(result.nErrno, strPath);
    case EReadFailure::NoMemory:
        RaiseMemoryError(DescribeFailure(strPath, result));
    default:
        throw py::value_error(std::string(PathText(DescribeFailure(strPath, result))));
    }
}

void WriteGrid(const py::handle& grid, const py::handle& path)
{
    const TextGrid value = GridOf(grid);
    const std::string strPath = PathBytes(path);
    WriteResult result;
    WithoutInterpreterLock([&] { result = WriteTextGrid(value, strPath); });
    if (result.bOk)
        return;
    if (result.nErrno != 0)
        RaiseOsError(result.nErrno, strPath);
    throw py::value_error(std::string(PathText(strPath + ": " + result.strWhat)));
}

py::tuple MeasureTable(const py::handle& arg, const py::handle& gridValue, const py::handle& tierValue)
{
    const TextGrid grid = GridOf(gridValue);
    const std::string strTier = tierValue.is_none() ? std::string() : Utf8(tierValue, "tier");
    if (!table::HasTier(grid, strTier))
        throw py::value_error("tier: no tier is named " + strTier);
    const CPySound sound = SoundOf(arg, 1);
    std::vector<table::MeasureRow> rows;
    table::MeasureOutcome outcome;
    WithoutInterpreterLock([&] {
        CSampleLock lock(sound.m_store.hSamples);
        const int nHeld = static_cast<int>(sound.Samples());
        const CMemorySamples samples(nHeld > 0 ? lock.Samples() : nullptr, nHeld);
        outcome = table::MeasureGrid(grid, strTier, samples, nHeld, sound.m_store.sampleRate, 0, rows);
    });
    if (!outcome.Ok()) {
        const std::string strLine = sound.m_strPath + ": " + table::DescribeOutcome(outcome, sound.m_store.sampleRate);
        if (outcome.eResult == pitch::TRACK_NO_MEMORY)
            RaiseMemoryError(strLine);
        RaiseSoundError(strLine, sound.m_strPath);
    }
    py::list tiers, labels;
    std::vector<double> columns[9];
    for (const table::MeasureRow& r : rows) {
        tiers.append(Text(r.strTier));
        labels.append(Text(r.strLabel));
        const double values[9] = {r.dStart, r.dEnd, r.dF0MeanHz, r.dF0MinHz, r.dF0MaxHz,
                                  r.dF1Hz,  r.dF2Hz, r.dF3Hz,    r.dIntensityDb};
        for (int c = 0; c < 9; ++c)
            columns[c].push_back(values[c]);
    }
    py::list arrays;
    for (std::vector<double>& column : columns)
        arrays.append(ArrayFromVector(std::move(column)));
    return py::make_tuple(tiers, labels, arrays);
}

} // namespace python
} // namespace sonavel
