#pragma once
// Unsaved tier edits kept in a file of their own, so a player that ends before
// they are saved (a signal, the end of the session, a crash after the last
// write) loses a few seconds of them at most. One file per TextGrid (or, for
// tiers not yet saved anywhere, per sound) under
// ${XDG_STATE_HOME:-~/.local/state}/sonavel/recovery, in a folder only its
// owner may read: the long text form of the grid after a line naming whose
// edits they are. The user-interface thread's; Qt Core.
#include <QDateTime>
#include <QString>

#include <optional>

#include "player/analysis/textgrid/TextGrid.h"

namespace editrecovery {

// What the edits belong to: a TextGrid's path, else (tiers never saved) the
// sound's; empty for neither.
QString KeyFor(const QString& strTextGrid, const QString& strSound);
// The folder of the files, and the file for key.
QString Folder();
QString FileFor(const QString& strKey);

// Writes grid as the edits of strKey (whole, under a temporary name, then
// renamed); false when it could not.
bool Write(const QString& strKey, const sonavel::textgrid::TextGrid& grid);

struct Kept {
    sonavel::textgrid::TextGrid grid;
    QDateTime when;         // when they were written
    bool bWriterRuns = false; // by a player that still runs (another window's edits, not lost ones)
};
// The edits kept for strKey, if a readable file holds them.
std::optional<Kept> Read(const QString& strKey);

void Remove(const QString& strKey);

} // namespace editrecovery
