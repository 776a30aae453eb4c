#pragma once
// The analyses share work out over threads as the readers do
// (common/SplitWork.h), as analysis::RunSplit and analysis::RunTogether.
#include "common/SplitWork.h"

namespace sonavel::analysis {
using sonavel::RunSplit;
using sonavel::RunTogether;
} // namespace sonavel::analysis
