#pragma once
// A tier strip as a screen reader meets it: the strip named by its tier, and
// each of its intervals (or points) an item of its own with its place, time
// and label, the selected one selected and focused, so the reader can list
// the tier and follow the keys from item to item.
//
// Called on the UI thread; Qt owns the accessible objects it makes.

namespace tierstrip {

// Hands Qt the strip's accessible side; once per program, any number of calls.
void InstallAccess();

} // namespace tierstrip
