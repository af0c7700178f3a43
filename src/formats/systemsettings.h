#pragma once

#include "settings/profilestore.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <span>
#include <vector>

namespace quillon::formats {

// One drive offered for recordings by the drive text `UseState` of the system options: one
// character per drive from A: on, '1' for a drive that holds recordings, '0' for one that does
// not, anything else for a drive that is not offered.
struct DriveRow
{
    int position = 0; // 1-based position in the drive text; 1 is A:
    bool recording = false;

    QString caption() const; // "C:" for position 3
};

// The offered drives of a drive text, in drive order. Only A: to Z: exist as drives.
std::vector<DriveRow> drivesFromUseState(QByteArrayView useState);
// The drive text with each row's character set to '1' or '0'; every other character stays.
QByteArray useStateWithDrives(QByteArray useState, std::span<const DriveRow> rows);

// A settings text with blanks and control bytes removed at both ends (GBK bytes are never
// blanks, so multi-byte characters stay whole).
QByteArray trimmedText(QByteArrayView text);

// A settings text shown in a field. While the field still shows what was loaded, the stored
// bytes go back unchanged, so bytes that GBK decoding would alter survive a save.
class StoredText
{
public:
    // Remembers the stored bytes; returns the text to show.
    QString load(const QByteArray &stored);
    // The bytes to store for the text a field shows now.
    QByteArray bytesFor(const QString &shown) const;

private:
    QByteArray m_stored;
    QString m_shown;
};

// A list whose selected index is stored. A stored index that names no entry selects nothing,
// and is written back as it was as long as nothing is selected: the server may know entries
// this window does not offer.
int listEntryFor(qint32 stored, int entryCount);
qint32 listIndexToStore(int selected, qint32 stored);

// The telephone numbers of the text-message settings, in key order. Blank numbers are dropped;
// when there were any, "Count" becomes the number of numbers and "Telephone No" is erased and
// written anew with the keys "1", "2", ... in list order. A count of 0
// or less, or a missing one, is written back as 0. A count over 1000 is damage or a list larger
// than the window handles: the first 1000 keys are shown and nothing is written. Callers group
// the writes in a batch.
QList<QByteArray> loadTelephoneNumbers(const settings::ProfileFile &sms);

} // namespace quillon::formats
