#pragma once

#include <QString>

#include <chrono>

namespace quillon::platform {

// Windows language identifiers the module tells apart; any other value means Chinese texts.
constexpr int kLangEnglishUS = 1033;
constexpr int kLangEnglishUK = 2057;
constexpr int kLangChinesePRC = 2052;
constexpr int kLangChineseTaiwan = 1028;

// The system's default language as a Windows language identifier, from the locale variables
// (LC_ALL, else LC_MESSAGES, else LANG). C, POSIX and an unset locale count as US English;
// a locale without a known identifier gives 0.
int systemDefaultLangId();
// The identifier for one locale name such as "zh_CN.UTF-8" or "en_GB@euro".
int langIdForLocale(const QString &locale);

// The per-user data folder standing in for the Windows folder: $XDG_DATA_HOME/quillon, else
// ~/.local/share/quillon. Empty when neither variable gives an absolute path.
QString windowsFolder();
// The folder of the running executable, ending with a separator; empty when unknown.
QString executableFolder();

// The blocking pause between transfers.
void pause(int milliseconds);
// Blocks until the monotonic clock reaches the deadline (at once when it has passed). Sleeping
// to a deadline rather than for a duration keeps the wake-up late by the scheduler's latency
// only, and lets a caller do work inside a pause without lengthening it.
void sleepUntil(std::chrono::steady_clock::time_point deadline);

} // namespace quillon::platform
