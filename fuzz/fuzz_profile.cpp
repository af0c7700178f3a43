// Random file bytes, then random writes, reads and section removals on the parsed profile
// document. Checks that a write is read back, that a removed section is gone, that refused
// writes change nothing, that a write touches no other key, and that the saved bytes parse to
// the same values.

#include "settings/profiledocument.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>

using quillon::settings::ProfileDocument;

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

QByteArray take(FuzzedDataProvider &data, size_t maxBytes)
{
    const std::string bytes = data.ConsumeRandomLengthString(maxBytes);
    return QByteArray(bytes.data(), qsizetype(bytes.size()));
}

// A value that reads back as written: no blanks around it and no enclosing quotes.
bool readsBackVerbatim(const QByteArray &value)
{
    if (quillon::settings::trimProfileBlanks(value).size() != value.size())
        return false;
    return !(value.size() >= 2 && (value.front() == '"' || value.front() == '\'')
        && value.back() == value.front());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size)
{
    FuzzedDataProvider data(bytes, size);
    const QByteArray file = take(data, 4096);
    ProfileDocument document(file);
    check(document.toBytes() == file); // parsing keeps every byte

    while (data.remaining_bytes() > 0) {
        const QByteArray section = take(data, 16);
        const QByteArray key = take(data, 16);
        const QByteArray value = take(data, 32);
        const QByteArray probeSection = take(data, 16);
        const QByteArray probeKey = take(data, 16);
        if (data.ConsumeBool()) {
            (void)document.value(section, key);
            continue;
        }
        if (data.ConsumeIntegralInRange(0, 7) == 0) {
            document.removeSection(section);
            check(!document.value(section, key).has_value());
            check(ProfileDocument(document.toBytes()).toBytes() == document.toBytes());
            continue;
        }
        const QByteArray before = document.toBytes();
        const auto probeBefore = document.value(probeSection, probeKey);
        const ProfileDocument::WriteResult result = document.setValue(section, key, value);
        if (result == ProfileDocument::WriteResult::Refused) {
            check(document.toBytes() == before);
            continue;
        }
        if (result == ProfileDocument::WriteResult::Unchanged)
            check(document.toBytes() == before);
        const auto stored = document.value(section, key);
        check(stored.has_value());
        if (readsBackVerbatim(value))
            check(*stored
                == value.left(value.indexOf('\0') < 0 ? value.size() : value.indexOf('\0')));
        const bool sameKey
            = quillon::settings::foldAsciiCase(quillon::settings::trimProfileBlanks(probeSection))
                == quillon::settings::foldAsciiCase(quillon::settings::trimProfileBlanks(section))
            && quillon::settings::foldAsciiCase(quillon::settings::trimProfileBlanks(probeKey))
                == quillon::settings::foldAsciiCase(quillon::settings::trimProfileBlanks(key));
        if (!sameKey)
            check(document.value(probeSection, probeKey) == probeBefore);
        const ProfileDocument reparsed(document.toBytes());
        check(reparsed.value(section, key) == stored);
    }
    return 0;
}
