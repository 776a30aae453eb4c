#pragma once
// A private home, profile, cache, data and runtime folder for one test program,
// so neither the programs' settings nor the web engine ever touch the user's
// own. Construct it before the QApplication and keep it alive until the program
// ends. Programs that talk to the PulseAudio server of with-pulse.sh keep the
// runtime folder that script made.
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

namespace testsupport {

class CTestHome {
public:
    enum ERuntime { PrivateRuntime, KeepRuntime };

    explicit CTestHome(ERuntime runtime = PrivateRuntime)
    {
        qputenv("HOME", QFile::encodeName(m_home.path()));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_home.filePath("config")));
        qputenv("XDG_CACHE_HOME", QFile::encodeName(m_home.filePath("cache")));
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_home.filePath("data")));
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_home.filePath("config"));
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_home.filePath("config"));
        if (runtime == KeepRuntime)
            return;
        QDir().mkpath(m_home.filePath("runtime"));
        QFile::setPermissions(m_home.filePath("runtime"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_home.filePath("runtime")));
    }

    bool IsValid() const { return m_home.isValid(); }
    QString Path() const { return m_home.path(); }

private:
    QTemporaryDir m_home;
};

} // namespace testsupport
