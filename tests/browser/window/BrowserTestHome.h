#pragma once
// A private home, profile, cache, data and runtime folder for one browser test
// program, so the engine and the settings never touch the user's own. Construct
// it before the QApplication and keep it alive until the program ends. Tests that
// talk to the PulseAudio server of with-pulse.sh keep its runtime folder.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

class CBrowserTestHome {
public:
    enum ERuntime { PrivateRuntime, KeepRuntime };

    explicit CBrowserTestHome(ERuntime runtime = PrivateRuntime)
    {
        qputenv("HOME", QFile::encodeName(m_home.path()));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_home.filePath("config")));
        qputenv("XDG_CACHE_HOME", QFile::encodeName(m_home.filePath("cache")));
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_home.filePath("data")));
        if (runtime == KeepRuntime)
            return;
        QDir().mkpath(m_home.filePath("runtime"));
        QFile::setPermissions(m_home.filePath("runtime"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_home.filePath("runtime")));
    }

private:
    QTemporaryDir m_home;
};
