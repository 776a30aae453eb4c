#include "browser/startup/CRecentFileList.h"

#include "browser/startup/VelmoraResource.h"

#include <QSettings>

CRecentFileList::CRecentFileList(QSettings& profile, int nSize)
    : m_profile(profile), m_nSize(nSize)
{
}

void CRecentFileList::ReadList()
{
    m_entries.clear();
    m_profile.beginGroup(QLatin1String(velmora::kRecentFileSection));
    for (int i = 1; i <= m_nSize; ++i) {
        const QString strEntry = m_profile.value(QStringLiteral("File%1").arg(i)).toString();
        // A gap ends the list, as the list is always written from the top.
        if (strEntry.isEmpty())
            break;
        if (!m_entries.contains(strEntry))
            m_entries.append(strEntry);
    }
    m_profile.endGroup();
}

void CRecentFileList::Add(const QString& strPath)
{
    if (strPath.isEmpty())
        return;
    m_entries.removeAll(strPath);
    m_entries.prepend(strPath);
    while (m_entries.size() > m_nSize)
        m_entries.removeLast();
    WriteList();
}

void CRecentFileList::WriteList()
{
    m_profile.beginGroup(QLatin1String(velmora::kRecentFileSection));
    for (int i = 1; i <= m_nSize; ++i) {
        const QString strKey = QStringLiteral("File%1").arg(i);
        if (i <= m_entries.size())
            m_profile.setValue(strKey, m_entries.at(i - 1));
        else
            m_profile.remove(strKey);
    }
    m_profile.endGroup();
    m_profile.sync();
}
