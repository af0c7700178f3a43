#include "platform/platform.h"

#include <QDir>
#include <QFileInfo>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <time.h>

namespace quillon::platform {

namespace {

struct LocaleId
{
    const char *name; // language, or language_TERRITORY
    int id;
};

// Territory-specific entries first; a bare language gives its usual default.
constexpr std::array kLocaleIds {
    LocaleId {"en_US", kLangEnglishUS},
    LocaleId {"en_GB", kLangEnglishUK},
    LocaleId {"en_AU", 3081},
    LocaleId {"en_CA", 4105},
    LocaleId {"en_NZ", 5129},
    LocaleId {"en_IE", 6153},
    LocaleId {"en_ZA", 7177},
    LocaleId {"en_IN", 16393},
    LocaleId {"zh_CN", kLangChinesePRC},
    LocaleId {"zh_TW", kLangChineseTaiwan},
    LocaleId {"zh_HK", 3076},
    LocaleId {"zh_SG", 4100},
    LocaleId {"zh_MO", 5124},
    LocaleId {"de_AT", 3079},
    LocaleId {"de_CH", 2055},
    LocaleId {"fr_CA", 3084},
    LocaleId {"fr_BE", 2060},
    LocaleId {"fr_CH", 4108},
    LocaleId {"es_MX", 2058},
    LocaleId {"pt_BR", 1046},
    LocaleId {"pt_PT", 2070},
    LocaleId {"en", kLangEnglishUS},
    LocaleId {"zh", kLangChinesePRC},
    LocaleId {"de", 1031},
    LocaleId {"fr", 1036},
    LocaleId {"es", 3082},
    LocaleId {"it", 1040},
    LocaleId {"ja", 1041},
    LocaleId {"ko", 1042},
    LocaleId {"ru", 1049},
    LocaleId {"pt", 2070},
    LocaleId {"nl", 1043},
    LocaleId {"pl", 1045},
    LocaleId {"sv", 1053},
};

QString environmentValue(const char *name)
{
    const char *value = std::getenv(name);
    return value ? QString::fromLocal8Bit(value) : QString();
}

} // namespace

int langIdForLocale(const QString &locale)
{
    QString name = locale.section(QLatin1Char('.'), 0, 0).section(QLatin1Char('@'), 0, 0);
    if (name.isEmpty() || name == QLatin1String("C") || name == QLatin1String("POSIX"))
        return kLangEnglishUS;
    name.replace(QLatin1Char('-'), QLatin1Char('_'));
    const QString language = name.section(QLatin1Char('_'), 0, 0).toLower();
    const QString territory = name.section(QLatin1Char('_'), 1, 1).toUpper();
    const QString full = territory.isEmpty() ? language : language + QLatin1Char('_') + territory;
    for (const LocaleId &entry : kLocaleIds) {
        if (full == QLatin1String(entry.name))
            return entry.id;
    }
    for (const LocaleId &entry : kLocaleIds) {
        if (language == QLatin1String(entry.name))
            return entry.id;
    }
    return 0;
}

int systemDefaultLangId()
{
    for (const char *variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const QString value = environmentValue(variable);
        if (!value.isEmpty())
            return langIdForLocale(value);
    }
    return kLangEnglishUS;
}

QString windowsFolder()
{
    QString base = environmentValue("XDG_DATA_HOME");
    if (!QDir::isAbsolutePath(base)) {
        const QString home = environmentValue("HOME");
        if (!QDir::isAbsolutePath(home))
            return {};
        base = home + QLatin1String("/.local/share");
    }
    return QDir::cleanPath(base + QLatin1String("/quillon"));
}

QString executableFolder()
{
    const QFileInfo exe(QStringLiteral("/proc/self/exe"));
    const QString target = exe.symLinkTarget();
    if (target.isEmpty())
        return {};
    return QFileInfo(target).absolutePath() + QLatin1Char('/');
}

void pause(int milliseconds)
{
    sleepUntil(std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds));
}

void sleepUntil(std::chrono::steady_clock::time_point deadline)
{
    // The steady clock is CLOCK_MONOTONIC; a signal does not move the deadline.
    static_assert(std::chrono::steady_clock::is_steady);
    const auto since
        = std::chrono::duration_cast<std::chrono::nanoseconds>(deadline.time_since_epoch());
    timespec until {};
    until.tv_sec = time_t(since.count() / 1'000'000'000);
    until.tv_nsec = long(since.count() % 1'000'000'000);
    while (::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) { }
}

} // namespace quillon::platform
