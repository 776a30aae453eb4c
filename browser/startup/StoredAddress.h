#pragma once
// Addresses the browser opens from what is stored rather than typed: a
// favourite, the home address (the profile's, the settings file's or the
// built-in one). Such text may have been written by anyone who could leave a
// file behind, so only addresses that show a page are opened: http, https and
// file addresses, absolute local paths and bare host names (which become
// http). A "javascript:" or "data:" address, or any other scheme, is refused:
// it would run in the page shown at the time, or at start-up.
//
// Free functions over the caller's values; they keep no state, so any thread may call
// them.
#include <QString>
#include <QUrl>

namespace velmora {

// The address to load, or an empty QUrl when strAddress is empty or refused.
QUrl StoredAddressUrl(const QString& strAddress);

}  // namespace velmora
