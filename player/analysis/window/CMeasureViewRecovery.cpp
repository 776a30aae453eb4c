// The measuring view's tiers kept from harm: their unsaved edits written to a
// recovery file a few seconds after each edit and when the player is told to
// end, offered again when the same TextGrid opens; and a save that would write
// over a file changed on disk since it was read (another window's save, a
// program's) or turned into a symbolic link asks first.
#include "player/analysis/window/CMeasureView.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>

#include <sys/stat.h>

#include <algorithm>

#include "player/analysis/measureview/MeasureTexts.h"
#include "player/analysis/textgrid/TextGridWriter.h"
#include "player/analysis/window/EditRecovery.h"

using namespace sonavel;

namespace {
// How long after an edit its recovery file is written: a burst of edits costs
// one write, and a player killed mid-burst loses only these seconds. A grid so
// large that writing it takes long is written less often, so that editing it
// stays smooth (the writer runs on the user-interface thread).
const int kRecoveryDelayMs = 3000;
const int kRecoveryShareOfTime = 10;
} // namespace

CMeasureView::FileStamp CMeasureView::StampOf(const QString& strPath)
{
    FileStamp stamp;
    const QByteArray path = QFile::encodeName(strPath);
    struct stat st {};
    if (lstat(path.constData(), &st) != 0)
        return stamp;
    stamp.bKnown = true;
    stamp.bLink = S_ISLNK(st.st_mode);
    // The file a save would write over: a link's target.
    if (stamp.bLink && stat(path.constData(), &st) != 0)
        return stamp;
    stamp.nDevice = st.st_dev;
    stamp.nInode = st.st_ino;
    stamp.nSize = static_cast<uint64_t>(st.st_size);
    stamp.nSeconds = st.st_mtim.tv_sec;
    stamp.nNanoseconds = st.st_mtim.tv_nsec;
    return stamp;
}

void CMeasureView::NoteGridFile()
{
    m_gridStamp = m_strGridPath.isEmpty() ? FileStamp() : StampOf(m_strGridPath);
}

CMeasureView::EWrite CMeasureView::AskBeforeWriting(const QString& strPath)
{
    // Only the file the tiers came from can have changed behind their back; a
    // file chosen in the Save dialog was asked about there.
    if (!m_gridStamp.bKnown || QFileInfo(strPath).absoluteFilePath() != QFileInfo(m_strGridPath).absoluteFilePath())
        return EWrite::Write;
    const FileStamp now = StampOf(strPath);
    if (!now.bKnown)
        return EWrite::Write; // gone: writing it again loses nothing
    const FileStamp& was = m_gridStamp;
    const bool bChanged = now.nDevice != was.nDevice || now.nInode != was.nInode || now.nSize != was.nSize
                          || now.nSeconds != was.nSeconds || now.nNanoseconds != was.nNanoseconds;
    // A TextGrid opened through a link is written through it, as asked; one
    // that became a link since would send the tiers somewhere else.
    const bool bBecameLink = now.bLink && !was.bLink;
    if (!bBecameLink && !bChanged)
        return EWrite::Write;
    const QString strName = QFileInfo(strPath).fileName();
    QString strText;
    if (bBecameLink)
        strText = QStringLiteral("%1 is now a symbolic link to %2. Overwrite the file it leads to with these tiers?")
                      .arg(strName, QFile::symLinkTarget(strPath));
    else
        strText = QStringLiteral("%1 was changed on disk since it was read, by another window or program. "
                                 "Overwrite it with these tiers?")
                      .arg(strName);
    QMessageBox box(QMessageBox::Warning, QString::fromUtf8(measure::kszViewTitle), strText, QMessageBox::NoButton, this);
    box.setTextFormat(Qt::PlainText);
    box.addButton(QStringLiteral("Overwrite"), QMessageBox::DestructiveRole);
    QPushButton* pSaveAs = box.addButton(QString::fromUtf8("Save As\xE2\x80\xA6"), QMessageBox::AcceptRole);
    QPushButton* pCancel = box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(pCancel);
    box.exec();
    if (box.clickedButton() == pCancel || !box.clickedButton())
        return EWrite::Cancel;
    return box.clickedButton() == pSaveAs ? EWrite::SaveAs : EWrite::Write;
}

void CMeasureView::ScheduleRecovery()
{
    m_bEditsDiscarded = false;
    if (!m_tiers.IsModified()) {
        // Undone back to the file (or saved): nothing left to keep.
        m_recoveryTimer.stop();
        KeepUnsavedEdits();
    } else if (!m_recoveryTimer.isActive()) {
        m_recoveryTimer.setSingleShot(true);
        m_recoveryTimer.start(std::max<qint64>(kRecoveryDelayMs, kRecoveryShareOfTime * m_nRecoveryWriteMs));
    }
}

void CMeasureView::KeepUnsavedEdits()
{
    m_recoveryTimer.stop();
    const QString strKey = editrecovery::KeyFor(m_strGridPath, m_strSoundFile);
    // The file of another name the tiers had (before Save As) is theirs no more.
    if (!m_strRecoveryKey.isEmpty() && (m_strRecoveryKey != strKey || !m_tiers.IsModified() || m_bEditsDiscarded)) {
        editrecovery::Remove(m_strRecoveryKey);
        m_strRecoveryKey.clear();
    }
    if (strKey.isEmpty() || !m_tiers.IsModified() || m_bEditsDiscarded)
        return;
    QElapsedTimer writing;
    writing.start();
    if (editrecovery::Write(strKey, m_tiers.Grid())) {
        m_strRecoveryKey = strKey;
    } else if (m_strRecoveryKey != strKey) {
        ShowNote(QStringLiteral("The unsaved edits cannot be kept in %1: save them").arg(editrecovery::Folder()));
    }
    m_nRecoveryWriteMs = writing.elapsed();
}

void CMeasureView::DropRecovery()
{
    m_bEditsDiscarded = true;
    KeepUnsavedEdits();
    const QString strKey = editrecovery::KeyFor(m_strGridPath, m_strSoundFile);
    if (!strKey.isEmpty())
        editrecovery::Remove(strKey);
}

void CMeasureView::OfferRecovery()
{
    const QString strKey = editrecovery::KeyFor(m_strGridPath, m_strSoundFile);
    if (strKey.isEmpty())
        return;
    const std::optional<editrecovery::Kept> kept = editrecovery::Read(strKey);
    // Another window's edits while it is open are its own to save.
    if (!kept || kept->bWriterRuns)
        return;
    // Edits that were saved after all leave nothing to restore.
    if (textgrid::FormatTextGrid(kept->grid) == textgrid::FormatTextGrid(m_tiers.Grid())) {
        editrecovery::Remove(strKey);
        return;
    }
    const QDateTime when = kept->when.toLocalTime();
    const QLocale english(QLocale::English);
    const QString strWhen = when.date() == QDate::currentDate() ? when.toString(QStringLiteral("HH:mm"))
                                                                 : english.toString(when, QStringLiteral("d MMMM yyyy, HH:mm"));
    const QString strWhose = m_strGridPath.isEmpty() ? QStringLiteral("The new tiers of %1").arg(m_strName)
                                                     : QFileInfo(m_strGridPath).fileName();
    QMessageBox box(QMessageBox::Question, QString::fromUtf8(measure::kszViewTitle),
                    QStringLiteral("Restore the unsaved edits of %1?").arg(strWhen), QMessageBox::NoButton, this);
    box.setTextFormat(Qt::PlainText);
    box.setInformativeText(QStringLiteral("%1 had edits that were not saved when the player ended.").arg(strWhose));
    // No Escape: the edits are dropped only when the user says so.
    QPushButton* pRestore = box.addButton(QStringLiteral("Restore"), QMessageBox::AcceptRole);
    box.addButton(QStringLiteral("Discard"), QMessageBox::DestructiveRole);
    box.setDefaultButton(pRestore);
    box.exec();
    if (box.clickedButton() != pRestore) {
        editrecovery::Remove(strKey);
        return;
    }
    // One step: Ctrl+Z goes back to the file as it is on disk.
    m_strRecoveryKey = strKey;
    OnTiersEdited(QString::fromStdString(m_tiers.ReplaceGrid(kept->grid)));
}
