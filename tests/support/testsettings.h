#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// A small settings set written straight as bytes, independent of the settings code under
// test: binary-safe contents (zeros, CR LF, GBK bytes, 0xFF) and an empty file, so a transfer
// that alters a single byte shows.
struct TestSettingsFile
{
    QByteArray remotePath; // as sent on the wire, e.g. "SysConfig\\SysSet.Ext"
    QString relativePath; // below the server root, e.g. "SysConfig/SysSet.Ext"
    QByteArray content;
};

// One 112-byte user record: name, password, privileges 1..12 (as a list of granted numbers).
QByteArray userRecordBytes(
    const QByteArray &name, const QByteArray &password, const QList<int> &privileges);

// The accounts in the test user file.
inline constexpr char kAdminName[] = "admin";
inline constexpr char kAdminPassword[] = "Adm1n!pw";
inline constexpr char kSetterName[] = "bob"; // has system settings
inline constexpr char kSetterPassword[] = "bobs pass";
inline constexpr char kViewerName[] = "carol"; // every privilege but system settings
inline constexpr char kViewerPassword[] = "carol-pw";
// A GBK name with system settings.
QByteArray gbkSetterName();
inline constexpr char kGbkSetterPassword[] = "zb8866";

// The nine files with their test contents.
QList<TestSettingsFile> testSettingsFiles();
// Creates the root's folders and writes the nine files into it.
bool writeTestSettings(const QString &root);
QByteArray readFile(const QString &path);
bool writeFile(const QString &path, const QByteArray &content);
