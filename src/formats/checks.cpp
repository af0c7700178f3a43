#include "formats/checks.h"

#include "formats/counts.h"
#include "formats/motionsettings.h"
#include "formats/sensorsettings.h"
#include "settings/profiledocument.h"
#include "settings/profilestore.h"
#include "settings/userrecords.h"

#include <algorithm>
#include <map>

namespace quillon::formats {

namespace {

using schema::Kind;
using schema::Scope;
using schema::Setting;
using schema::setting;
using schema::Words;
using settings::SettingsFile;

constexpr OverlayPosition kTitlePositions[] = {
    {"Camera_X",
        {"请输入摄像机标题显示的横坐标（8 的倍数）！", "Input title X coordinates please!"},
        {"摄像机标题显示的横坐标必须是整数！", "The title X coordinate must be a whole number!"}},
    {"Camera_Y", {"请输入摄像机标题显示的纵坐标！", "Input title Y coordinates please!"},
        {"摄像机标题显示的纵坐标必须是整数！", "The title Y coordinate must be a whole number!"}},
};

constexpr OverlayPosition kDatePositions[] = {
    {"Date_X", {"请输入日期显示的横坐标！（8 的倍数）", "Input date X coordinates please!"},
        {"日期显示的横坐标必须是整数！", "The date X coordinate must be a whole number!"}},
    {"Date_Y", {"请输入日期显示的纵坐标！", "Input date Y coordinates please!"},
        {"日期显示的纵坐标必须是整数！", "The date Y coordinate must be a whole number!"}},
};

const Setting &encoderSetting(const char *key)
{
    return setting(SettingsFile::TVCard, schema::kEncoderSection, key);
}

// The parsed profile files of a set, read the way the pages read them.
class FileReader
{
public:
    explicit FileReader(const settings::SettingsFileSet &files)
    {
        for (auto it = files.begin(); it != files.end(); ++it) {
            if (it.key() != SettingsFile::User)
                m_documents.emplace(it.key(), settings::ProfileDocument(it.value()));
        }
    }

    std::optional<QByteArray> stored(
        SettingsFile file, QByteArrayView section, QByteArrayView key) const
    {
        const auto found = m_documents.find(file);
        if (found == m_documents.end())
            return std::nullopt;
        std::optional<QByteArray> value = found->second.value(section, key);
        if (value && value->size() > settings::kMaxProfileValue)
            value->truncate(settings::kMaxProfileValue);
        return value;
    }

    qint32 number(
        SettingsFile file, QByteArrayView section, QByteArrayView key, qint32 fallback) const
    {
        const std::optional<QByteArray> text = stored(file, section, key);
        return text ? settings::parseProfileInteger(*text).value_or(fallback) : fallback;
    }

    bool flag(SettingsFile file, QByteArrayView section, QByteArrayView key, bool fallback) const
    {
        return number(file, section, key, fallback ? 1 : 0) != 0;
    }

private:
    std::map<SettingsFile, settings::ProfileDocument> m_documents;
};

class Checker
{
public:
    explicit Checker(const settings::SettingsFileSet &files)
        : m_files(files), m_reader(files), m_channels(channelCountOf(files)),
          m_sensors(sensorCountOf(files))
    { }

    QList<Problem> run()
    {
        for (int channel = 0; channel < m_channels; ++channel) {
            checkOverlay(channel);
            checkMotionArea(channel);
        }
        for (int sensor = 0; sensor < m_sensors; ++sensor)
            checkLinkedChannels(sensor);
        checkRanges();
        checkUserFile();
        return m_problems;
    }

private:
    void add(const Setting &setting, int index, Words message,
        Problem::Severity severity = Problem::Severity::Error)
    {
        // One problem per key: Apply's own check says it better than the range does.
        const QByteArray section = setting.sectionFor(index);
        for (const Problem &known : m_problems) {
            if (known.file == setting.file && known.section == section && known.key == setting.key)
                return;
        }
        m_problems.append({severity, setting.page, setting.scope, index, setting.file,
            setting.sectionFor(index), setting.key, setting.caption, message, {}});
    }

    // A shown title or date needs whole-number positions.
    void checkOverlay(int channel)
    {
        const QByteArray section = schema::indexedSection(schema::kEncoderSection, channel);
        const auto checkPositions = [&](std::span<const OverlayPosition> positions) {
            for (const OverlayPosition &position : positions) {
                const std::optional<QByteArray> text
                    = m_reader.stored(SettingsFile::TVCard, section, position.key);
                if (text && !settings::parseProfileInteger(*text))
                    add(encoderSetting(position.key), channel, position.notWhole);
            }
        };
        if (m_reader.flag(SettingsFile::TVCard, section, "ShowCamera", true))
            checkPositions(kTitlePositions);
        if (m_reader.flag(SettingsFile::TVCard, section, "ShowDate", true)
            || m_reader.flag(SettingsFile::TVCard, section, "ShowTime", true))
            checkPositions(kDatePositions);
        if (!m_reader.flag(SettingsFile::TVCard, section, "PreviewCover", false)
            && !m_reader.flag(SettingsFile::TVCard, section, "RecordCover", false))
            return;
        const auto number = [&](const char *key) {
            return qint64(m_reader.number(SettingsFile::TVCard, section, key, 0));
        };
        if (const std::optional<MaskOverflow> overflow = maskOverflow(number("Cover_X"),
                number("Cover_Y"), number("Cover_Width"), number("Cover_Height")))
            add(encoderSetting(overflow->key), channel, overflow->message);
    }

    // A motion timetable that starts by itself needs at least one armed cell.
    void checkMotionArea(int channel)
    {
        const QByteArray encoder = schema::indexedSection(schema::kEncoderSection, channel);
        if (!m_reader.flag(SettingsFile::AlarmSet, encoder, "AutoAlarmRecord", false))
            return;
        const QByteArray area = schema::indexedSection(schema::kMotionAreaSection, channel);
        for (int row = 1; row <= kMotionRows; ++row) {
            const QByteArray stored
                = m_reader.stored(SettingsFile::AlarmSet, area, QByteArray::number(row))
                      .value_or(QByteArray());
            const MotionRow cells = parseMotionRow(stored);
            if (std::find(cells.begin(), cells.end(), true) != cells.end())
                return;
        }
        add(setting(SettingsFile::AlarmSet, schema::kEncoderSection, "AutoAlarmRecord"), channel,
            {"请设置动态检测区域！", "Set motion detect area please!"});
    }

    // A sensor stored to start recording needs a linked channel. (Without a stored choice the
    // window takes the start off at load, so only a stored one is checked.)
    void checkLinkedChannels(int sensor)
    {
        const QByteArray section = schema::indexedSection(schema::kSensorSection, sensor);
        const std::optional<QByteArray> startupRec
            = m_reader.stored(SettingsFile::SensorSet, section, "StartupRec");
        if (!startupRec || settings::parseProfileInteger(*startupRec).value_or(0) == 0)
            return;
        const QByteArray linkChn
            = m_reader.stored(SettingsFile::SensorSet, section, "LinkChn").value_or(QByteArray());
        for (const LinkedChannel &link : parseLinkChn(linkChn, m_channels)) {
            if (link.linked)
                return;
        }
        add(setting(SettingsFile::SensorSet, schema::kSensorSection, "StartupRec"), sensor,
            {"请选择联动录像的通道！", "Select alarm trigger record channel please!"});
    }

    // The ranges are those of the controls, not rules of the server: Apply refuses none of
    // these values and the server takes them, so they are worth a note, not a refusal.
    void checkRangesOf(const Setting &entry, int index)
    {
        const std::optional<QByteArray> text
            = m_reader.stored(entry.file, entry.sectionFor(index), entry.key);
        if (!text)
            return;
        const std::optional<qint32> value = settings::parseProfileInteger(*text);
        if (!value) {
            add(entry, index,
                {"不是整数，窗口读作默认值", "not a whole number; the window reads the default"},
                Problem::Severity::Note);
            return;
        }
        if (*value < entry.minimum || *value > entry.maximum) {
            const qsizetype before = m_problems.size();
            add(entry, index, {"超出控件的范围", "outside the range its control offers"},
                Problem::Severity::Note);
            if (m_problems.size() > before)
                m_problems.last().detail = QByteArray::number(*value) + " ("
                    + QByteArray::number(entry.minimum) + ".." + QByteArray::number(entry.maximum)
                    + ")";
        }
    }

    void checkRanges()
    {
        for (const schema::TableOf table : schema::settingTables()) {
            for (const Setting &entry : table()) {
                if (entry.kind != Kind::Number || !entry.hasRange())
                    continue;
                const int count = entry.scope == Scope::Channel ? m_channels
                    : entry.scope == Scope::Sensor              ? m_sensors
                                                                : 1;
                for (int index = 0; index < count; ++index)
                    checkRangesOf(entry, entry.scope == Scope::Fixed ? -1 : index);
            }
        }
    }

    void checkUserFile()
    {
        const auto found = m_files.find(SettingsFile::User);
        if (found == m_files.end() || found->size() % settings::UserRecord::kSize == 0)
            return;
        Problem problem;
        problem.page = "TabSheet9";
        problem.file = SettingsFile::User;
        problem.setting = {"系统用户", "User"};
        problem.message = {
            "用户文件长度不是 112 字节的整数倍", "the user file is not made of 112-byte records"};
        m_problems.append(problem);
    }

    const settings::SettingsFileSet &m_files;
    FileReader m_reader;
    int m_channels;
    int m_sensors;
    QList<Problem> m_problems;
};

// A count as the window takes it, bounded as the window bounds it, so that the checks cover
// exactly the channels and sensors the window shows.
int countOf(const settings::SettingsFileSet &files, const char *section, const char *key, int bound)
{
    const Setting &count = setting(SettingsFile::SysSet, section, key);
    const qint32 fallback = settings::parseProfileInteger(count.fallbackFor(-1)).value_or(0);
    return boundedCount(
        FileReader(files).number(SettingsFile::SysSet, count.section, count.key, fallback), bound);
}

} // namespace

int channelCountOf(const settings::SettingsFileSet &files)
{
    return countOf(files, "System Options", "MaxRecCount", kMaxChannels);
}

int sensorCountOf(const settings::SettingsFileSet &files)
{
    return countOf(files, "Sensor Options", "AlarmDevChn", kMaxSensors);
}

std::span<const OverlayPosition> titlePositions()
{
    return kTitlePositions;
}

std::span<const OverlayPosition> datePositions()
{
    return kDatePositions;
}

std::optional<MaskOverflow> maskOverflow(qint64 x, qint64 y, qint64 width, qint64 height)
{
    const bool tooWide = x + width > schema::kPictureWidth;
    const bool tooHigh = y + height > schema::kPictureHeight;
    if (!tooWide && !tooHigh)
        return std::nullopt;
    return MaskOverflow {tooWide ? "Cover_Width" : "Cover_Height",
        {"宽度应少于352，高度应少于288！",
            "Width must less than 352, and Height must less than 288!"}};
}

QList<Problem> validateSettings(const settings::SettingsFileSet &files)
{
    return Checker(files).run();
}

bool hasErrors(const QList<Problem> &problems)
{
    return std::any_of(problems.begin(), problems.end(),
        [](const Problem &problem) { return problem.severity == Problem::Severity::Error; });
}

} // namespace quillon::formats
