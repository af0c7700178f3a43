#pragma once

#include "settings/settingsfiles.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>
#include <span>

namespace quillon::schema {

// A text in the window's two languages (UTF-8).
struct Words
{
    const char *chinese;
    const char *english;

    QString in(bool chinese) const;
};

// One entry of a list: the value stored for it and its wording.
struct Choice
{
    int code;
    Words words;
};

// Where a key's section sits: one fixed section, or one section per video channel or per
// sensor input, named by the pattern followed by the 0-based index ("ENCODER3").
enum class Scope { Fixed, Channel, Sensor };

// The section patterns the per-channel and per-sensor keys live under.
inline constexpr char kEncoderSection[] = "ENCODER";
inline constexpr char kSensorSection[] = "SENSOR";
inline constexpr char kMotionAreaSection[] = "ALARM MOTION";

// The section of an index: the pattern followed by the 0-based index ("ENCODER3").
QByteArray indexedSection(QByteArrayView pattern, int index);

// The size of the picture a channel records, which the privacy mask must lie within.
inline constexpr int kPictureWidth = 352;
inline constexpr int kPictureHeight = 288;

enum class Kind {
    Flag, // 1 or 0
    Number, // a whole number within [minimum, maximum]
    Text, // GBK text, at most maximum bytes when maximum > 0
    Password, // text as Text, never shown
    Choice, // a stored list index; an index the list lacks is kept as stored
    DayLine, // one day of a weekly timetable
    AreaRow, // one row of the motion area: ten '1' or '0'
    LinkText, // the linked channels and presets of a sensor
};

// One key of the profile files as a page reads and writes it.
struct Setting
{
    settings::SettingsFile file;
    Scope scope;
    const char *section; // the section, or its pattern before the index
    // A key ending in "#" stands for its text followed by a decimal number: "#" for days, rows
    // and telephone numbers, "BitRate_#" for one preset per quality level.
    const char *key;
    Kind kind;
    // The value a missing key reads as; "%i" stands for the index, "%n" for index + 1.
    const char *fallback;
    int minimum = 0;
    int maximum = 0;
    std::span<const Choice> choices = {};
    const char *page = ""; // the page's sheet, e.g. "TabSheet2"
    const char *control = ""; // the control that shows it; empty when none does
    Words caption = {"", ""};

    // True when a stored number is to be checked against [minimum, maximum].
    bool hasRange() const { return maximum > minimum; }
    // The wording of a stored code; nothing when the list has no such entry.
    std::optional<Words> wordingOf(int code) const;
    // The section of an index (ignored for fixed sections).
    QByteArray sectionFor(int index) const;
    // The default text of an index.
    QByteArray fallbackFor(int index) const;
};

// The tables, one per page, in the window's page order.
std::span<const Setting> systemPageSettings();
std::span<const Setting> usersPageSettings();
std::span<const Setting> videoPageSettings();
std::span<const Setting> streamPresetSettings(); // Profile.ext, read by the video page

// The server's stream presets for servers of up to `channels` channels, kept in one section of
// Profile.ext with a bit rate and a quality per level; in increasing order of channels.
struct StreamPresetGroup
{
    int channels;
    const char *section;
    Words bitRate;
    Words quality;
};
std::span<const StreamPresetGroup> streamPresetGroups();
std::span<const Setting> motionPageSettings();
std::span<const Setting> sensorPageSettings();
std::span<const Setting> cameraPageSettings();
std::span<const Setting> networkPageSettings();
std::span<const Setting> smsPageSettings();

// Every table above.
using TableOf = std::span<const Setting> (*)();
std::span<const TableOf> settingTables();

// Lists several pages share.
// COM1..COM10, stored as 0..9.
inline constexpr Choice kSerialPortChoices[] = {
    {0, {"COM1", "COM1"}},
    {1, {"COM2", "COM2"}},
    {2, {"COM3", "COM3"}},
    {3, {"COM4", "COM4"}},
    {4, {"COM5", "COM5"}},
    {5, {"COM6", "COM6"}},
    {6, {"COM7", "COM7"}},
    {7, {"COM8", "COM8"}},
    {8, {"COM9", "COM9"}},
    {9, {"COM10", "COM10"}},
};
std::span<const Choice> cameraTypeChoices();
std::span<const Choice> protocolChoices();
std::span<const Choice> baudRateChoices();
// The caption of day key 1 (Monday) to 7 (Sunday) of a weekly timetable, as the day choice
// lists it, and as the timetables' day tabs show it.
Words dayCaption(int day);
Words dayTabCaption(int day);

// The user file is binary: its fields, by record.
struct UserField
{
    const char *control;
    Words caption;
};
std::span<const UserField> userFields();
// The caption of a privilege (1..12).
Words privilegeCaption(int number);

// A page of the window: its sheet, the one-word name the operator's tool gives it ("video")
// and its tab caption.
struct Page
{
    const char *sheet;
    const char *name;
    Words caption;
};
// The pages in the window's order.
std::span<const Page> pages();
// The page of a sheet name, e.g. "TabSheet2" is the video page.
Words pageCaption(QByteArrayView sheet);

// A key found in the tables, with the index its section names.
struct SettingMatch
{
    const Setting *setting = nullptr;
    int index = -1; // channel or sensor from 0; -1 for a fixed section
};

// The setting of a file, section and key (names compared without regard to ASCII letter case).
std::optional<SettingMatch> findSetting(
    settings::SettingsFile file, QByteArrayView section, QByteArrayView key);
// The setting a control shows (its first key when it shows several).
const Setting *settingOfControl(QByteArrayView control);
// The same for a control the schema must know: a missing one is a programming error.
const Setting &settingOf(QByteArrayView control);
// The setting of a file, section pattern and key; for code that reads a known key.
const Setting &setting(settings::SettingsFile file, QByteArrayView section, QByteArrayView key);

} // namespace quillon::schema
