#include "formats/systemsettings.h"

#include "settings/gbk.h"

namespace quillon::formats {

namespace {

constexpr int kDriveLetters = 26;

constexpr const char *kTelephone = "Telephone";
constexpr const char *kTelephoneNo = "Telephone No";
constexpr const char *kCount = "Count";
// A stored count beyond this is damage, not a list: reading that many keys would freeze the
// window. No modem alarm list comes near it.
constexpr int kMaxTelephoneNumbers = 1000;
// A stored value never holds a line break, so this default tells a missing key from an empty one.

bool isBlank(char c)
{
    return static_cast<unsigned char>(c) <= ' ';
}

} // namespace

QString DriveRow::caption() const
{
    return QString(QChar(u'A' + position - 1)) + QLatin1Char(':');
}

std::vector<DriveRow> drivesFromUseState(QByteArrayView useState)
{
    std::vector<DriveRow> rows;
    const qsizetype drives = std::min<qsizetype>(useState.size(), kDriveLetters);
    for (qsizetype at = 0; at < drives; ++at) {
        if (useState[at] == '0' || useState[at] == '1')
            rows.push_back({int(at) + 1, useState[at] == '1'});
    }
    return rows;
}

QByteArray useStateWithDrives(QByteArray useState, std::span<const DriveRow> rows)
{
    for (const DriveRow &row : rows) {
        if (row.position >= 1 && row.position <= useState.size())
            useState[row.position - 1] = row.recording ? '1' : '0';
    }
    return useState;
}

QByteArray trimmedText(QByteArrayView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return text.sliced(begin, end - begin).toByteArray();
}

QString StoredText::load(const QByteArray &stored)
{
    m_stored = stored;
    m_shown = settings::fromGbk(stored);
    return m_shown;
}

QByteArray StoredText::bytesFor(const QString &shown) const
{
    if (shown == m_shown)
        return m_stored;
    // The fields refuse text GBK cannot carry; should such text arrive anyway, the stored
    // value stays rather than a corrupted one.
    return settings::toGbk(shown).value_or(m_stored);
}

int listEntryFor(qint32 stored, int entryCount)
{
    return stored >= 0 && stored < entryCount ? int(stored) : -1;
}

qint32 listIndexToStore(int selected, qint32 stored)
{
    return selected >= 0 ? selected : stored;
}

QList<QByteArray> loadTelephoneNumbers(const settings::ProfileFile &sms)
{
    QList<QByteArray> numbers;
    const qint32 count = sms.readInt(kTelephone, kCount, 0);
    if (count <= 0) {
        sms.writeInt(kTelephone, kCount, 0);
        return numbers;
    }
    const int keys = std::min<qint32>(count, kMaxTelephoneNumbers);
    for (int key = 1; key <= keys; ++key) {
        const QByteArray number = trimmedText(sms.readText(kTelephoneNo, QByteArray::number(key)));
        if (!number.isEmpty())
            numbers << number;
    }
    // A list longer than the bound is shown in part and never rewritten: a repair from its
    // first part would cut it.
    if (numbers.size() == count || count > kMaxTelephoneNumbers)
        return numbers;

    sms.writeInt(kTelephone, kCount, qint32(numbers.size()));
    sms.removeSection(kTelephoneNo);
    for (qsizetype at = 0; at < numbers.size(); ++at)
        sms.writeText(kTelephoneNo, QByteArray::number(at + 1), numbers[at]);
    return numbers;
}

} // namespace quillon::formats
