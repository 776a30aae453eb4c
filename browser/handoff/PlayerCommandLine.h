#pragma once
// What the player is started with: the private temporary file, the name the
// sound had where it came from (the file itself is always "tempFile"), and the
// span a media fragment names.
//
// Free functions over the caller's values; they keep no state, so any thread may call
// them.
#include <QString>
#include <QStringList>

namespace velmora {

// The name of the sound at a web or file: address: the last segment of the
// address's path, percent-decoded. Empty when nothing is left (see
// CleanSoundName).
QString LinkSoundName(const QString& strUrl);

// The name of a local file given by its path (nothing is decoded: a path is
// already the file's own spelling).
QString LocalSoundName(const QString& strPath);

// A name fit to show: only what follows its last '/' or '\', without control
// characters (C0, DEL, C1), at most 255 bytes in UTF-8, cut between two
// characters. Empty when nothing is left, or only "." or "..".
QString CleanSoundName(const QString& strName);

// The player's command line for the sound in strTempPath: the path, then
// "--name" and strName unless it is empty, then "--select" and the span when
// strUrl has a media fragment (MediaFragment.h).
QStringList PlayerArguments(const QString& strTempPath, const QString& strName, const QString& strUrl);

}  // namespace velmora
