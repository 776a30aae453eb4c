#include "player/shell/CRecentFileList.h"

#include <QFileInfo>
#include <QSettings>

#include "player/shell/resource.h"

using namespace sonavel::shell;

CRecentFileList::CRecentFileList() { ReadList(); }

void CRecentFileList::ReadList()
{
    m_files.clear();
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, kszRegistryKey, kszProfileApp);
    settings.beginGroup(kszRecentFileSection);
    for (int i = 1; i <= kRecentFileCount; ++i) {
        QString strPath = settings.value(QString(kszRecentFileEntry).arg(i)).toString();
        if (!strPath.isEmpty() && !m_files.contains(strPath))
            m_files.append(strPath);
    }
}

void CRecentFileList::Add(const QString& strPath)
{
    if (strPath.isEmpty())
        return;
    QString strFull = QFileInfo(strPath).absoluteFilePath();
    m_files.removeAll(strFull);
    m_files.prepend(strFull);
    while (m_files.size() > kRecentFileCount)
        m_files.removeLast();
    WriteList();
}

void CRecentFileList::Remove(int nIndex)
{
    if (nIndex < 0 || nIndex >= m_files.size())
        return;
    m_files.removeAt(nIndex);
    WriteList();
}

void CRecentFileList::WriteList()
{
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, kszRegistryKey, kszProfileApp);
    settings.beginGroup(kszRecentFileSection);
    for (int i = 1; i <= kRecentFileCount; ++i) {
        QString strKey = QString(kszRecentFileEntry).arg(i);
        if (i <= m_files.size())
            settings.setValue(strKey, m_files[i - 1]);
        else
            settings.remove(strKey);
    }
    settings.endGroup();
    settings.sync();
}
