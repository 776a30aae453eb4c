#include "python/PyTable.h"

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "player/analysis/intervals/IntervalTable.h"
#include "player/analysis/textgrid/TextGridCheck.h"
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

[[noreturn]] void RaiseOsError(int nErrno, const std::string& strPath, const char* szWhy = nullptr)
{
    // OSError picks its subclass by the number (EISDIR: IsADirectoryError).
    const py::str name = PathText(strPath);
    const py::str why = szWhy ? py::str(szWhy) : py::str(std::strerror(nErrno));
    PyErr_SetObject(PyExc_OSError, py::make_tuple(nErrno, why, name).ptr());
    throw py::error_already_set();
}

std::string TypeName(const py::handle& value) { return Py_TYPE(value.ptr())->tp_name; }

// value as a sequence of nSize items; TypeError naming szWhat and its form otherwise.
py::sequence Items(const py::handle& value, std::size_t nSize, const std::string& strWhat, const char* szForm)
{
    if (!py::isinstance<py::sequence>(value) || py::isinstance<py::str>(value) || py::isinstance<py::bytes>(value) ||
        py::len(value) != nSize)
        throw py::type_error(strWhat + " must be " + szForm + ", not " + TypeName(value) +
                             (py::isinstance<py::sequence>(value) ? " of " + std::to_string(py::len(value)) + " items"
                                                                  : std::string()));
    return py::reinterpret_borrow<py::sequence>(value);
}

// A time: any real number (int, float, a numpy scalar); TypeError for a text,
// None, an array of more than one value.
double Seconds(const py::handle& value, const std::string& strWhat)
{
    PyObject* p = value.ptr();
    if (!PyUnicode_Check(p) && !PyBytes_Check(p) && !PyByteArray_Check(p) && PyNumber_Check(p)) {
        if (PyObject* pFloat = PyNumber_Float(p)) {
            const double d = PyFloat_AsDouble(pFloat);
            Py_DECREF(pFloat);
            return d;
        }
        PyErr_Clear();
    }
    throw py::type_error(strWhat + " must be a number of seconds, not " + TypeName(value));
}

TextGrid GridOf(const py::handle& value)
{
    const py::sequence seq = Items(value, 3, "textgrid", "a TextGrid(start_s, end_s, tiers)");
    TextGrid grid{Seconds(seq[0], "the grid's start_s"), Seconds(seq[1], "the grid's end_s"), {}};
    std::size_t nTier = 0;
    for (const py::handle t : seq[2]) {
        const std::string strTier = "tier " + std::to_string(++nTier);
        const py::sequence tier = Items(t, 5, strTier, "an IntervalTier or a PointTier");
        Tier out{Utf8(tier[0], "a tier's name"), py::bool_(tier[1]) ? ETierKind::Point : ETierKind::Interval,
                 Seconds(tier[2], strTier + "'s start_s"), Seconds(tier[3], strTier + "'s end_s"), {}, {}};
        std::size_t nItem = 0;
        for (const py::handle item : tier[4]) {
            if (out.eKind == ETierKind::Point) {
                const std::string strWhat = strTier + "'s point " + std::to_string(++nItem);
                const py::sequence piece = Items(item, 2, strWhat, "a Point(time_s, label)");
                out.points.push_back({Seconds(piece[0], strWhat + "'s time_s"), Utf8(piece[1], "a label")});
            } else {
                const std::string strWhat = strTier + "'s interval " + std::to_string(++nItem);
                const py::sequence piece = Items(item, 3, strWhat, "an Interval(start_s, end_s, label)");
                out.intervals.push_back({Seconds(piece[0], strWhat + "'s start_s"),
                                         Seconds(piece[1], strWhat + "'s end_s"), Utf8(piece[2], "a label")});
            }
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
        if (result.szNotAFile)
            RaiseOsError(result.nErrno, strPath, (std::string("is ") + result.szNotAFile + ", not a file").c_str());
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
    // Measured only when it could be written: a grid out of order would give
    // negative durations and intervals that lie about their times.
    if (const std::string strProblem = GridProblem(grid); !strProblem.empty())
        throw py::value_error("textgrid: " + strProblem);
    const std::string strTier = tierValue.is_none() ? std::string() : Utf8(tierValue, "tier");
    if (!intervals::HasTier(grid, strTier))
        throw py::value_error("tier: no tier is named " + strTier);
    std::vector<intervals::IntervalRow> rows;
    std::string strPath;
    const analysis::SoundOutcome outcome = AnalyseArgument(
        arg, 1,
        [&](const analysis::CSoundInput& input) { return intervals::MeasureIntervals(input, grid, strTier, 0, rows); },
        strPath);
    if (!outcome.Done())
        RaiseOutcome(outcome, intervals::kIntervalWords, strPath);
    py::list tiers, labels;
    std::vector<double> columns[9];
    for (const intervals::IntervalRow& r : rows) {
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
