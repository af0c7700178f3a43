#include "setupmodule.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

namespace {
constexpr char kModuleFile[] = "libQuillon.so";
constexpr char kModuleName[] = "Quillon";
} // namespace

bool SetupModule::load(const QString &programFolder)
{
    const QDir folder(programFolder);
    QStringList candidates;
    for (const QString &path :
        {folder.filePath(QStringLiteral("../lib/") + QLatin1String(kModuleFile)),
            folder.filePath(QLatin1String(kModuleFile))}) {
        if (QFileInfo::exists(path))
            candidates << QDir::cleanPath(path);
    }
    // A bare name lets the loader search LD_LIBRARY_PATH and the system folders.
    candidates << QLatin1String(kModuleName);

    QStringList failures;
    for (const QString &candidate : candidates) {
        m_library.setFileName(candidate);
        if (m_library.load())
            break;
        failures << QStringLiteral("  %1: %2").arg(candidate, m_library.errorString());
    }
    if (!m_library.isLoaded()) {
        m_error
            = QStringLiteral("cannot load %1 (looked in %2/../lib, %2 and the library path):\n%3")
                  .arg(QLatin1String(kModuleFile), QDir::cleanPath(programFolder),
                      failures.join(QLatin1Char('\n')));
        return false;
    }
    m_showSetupForm = reinterpret_cast<ShowSetupFormFunction>(m_library.resolve("ShowSetupForm"));
    if (!m_showSetupForm) {
        m_error = QStringLiteral("%1 does not export ShowSetupForm").arg(m_library.fileName());
        m_library.unload();
        return false;
    }
    return true;
}

std::int32_t SetupModule::showSetupForm(const char *host, std::uintptr_t ownerWindow,
    const char *userName, const char *password, std::int32_t portCode) const
{
    return m_showSetupForm(host, ownerWindow, userName, password, portCode);
}
