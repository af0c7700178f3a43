// edit: the setup window on a folder of settings files, with no server.
//
// The window works on a private scratch copy, never on the folder itself: the folder is laid out
// as a server keeps its files (User/, SysConfig/) while the window reads the nine files side by
// side, and the users page and the camera dialog write their files at once, so Cancel could not
// otherwise leave the folder as it was. Apply and OK copy every file the window changed back
// into the folder, each replaced atomically; Cancel drops the scratch copy.

#include "editor/messages.h"
#include "editor/sysset.h"
#include "formats/language.h"
#include "platform/atomicfile.h"
#include "platform/platform.h"
#include "tools/quillon/commandline.h"
#include "tools/quillon/commands.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>

namespace quillon::tool {

namespace {

// The folder being edited and the scratch copy the window works on.
class FolderEdit
{
public:
    FolderEdit(QString folder, settings::SettingsFileSet files, QString scratch)
        : m_folder(std::move(folder)), m_published(std::move(files)), m_scratch(std::move(scratch))
    { }

    // Puts the folder's files into the scratch copy; an error when one cannot be written.
    std::optional<QString> prepare() const
    {
        for (auto it = m_published.cbegin(); it != m_published.cend(); ++it) {
            const QString path = m_scratch + QLatin1String(settings::fileInfo(it.key()).name);
            if (const std::optional<QString> error = platform::writeFileAtomically(
                    path, it.value(), platform::Durability::Written, 0600))
                return error;
        }
        return std::nullopt;
    }

    // Copies the files the window changed since the last copy into the folder; the failure's
    // text in the window's language, or nothing.
    std::optional<QString> publish()
    {
        settings::SettingsFileSet changed;
        for (const settings::SettingsFileInfo &info : settings::settingsFiles()) {
            QFile file(settings::localPath(m_scratch, info.file));
            if (!file.exists())
                continue;
            if (file.size() > settings::kMaxSettingsFileBytes || !file.open(QIODevice::ReadOnly))
                return failure(QStringLiteral("cannot read %1").arg(file.fileName()));
            const QByteArray bytes = file.readAll();
            if (!m_published.contains(info.file) || m_published.value(info.file) != bytes)
                changed.insert(info.file, bytes);
        }
        QString error;
        if (!settings::writeSettingsFolder(m_folder, changed, &error))
            return failure(error);
        for (auto it = changed.cbegin(); it != changed.cend(); ++it)
            m_published.insert(it.key(), it.value());
        m_savedFiles += int(changed.size());
        return std::nullopt;
    }

    int savedFiles() const { return m_savedFiles; }

private:
    QString failure(const QString &detail) const
    {
        return formats::pick(
            "不能保存到文件夹 %1：%2", "The settings could not be saved into %1: %2")
            .arg(m_folder, detail);
    }

    QString m_folder;
    settings::SettingsFileSet m_published; // the folder's files as last written
    QString m_scratch;
    int m_savedFiles = 0;
};

// The scratch copy holds the user file with every password: it lives in the user's own data
// folder when there is one, readable by the user only.
QString scratchTemplate()
{
    QString base = platform::windowsFolder();
    if (base.isEmpty() || !QDir().mkpath(base))
        base = QDir::tempPath();
    return QDir::cleanPath(base) + QStringLiteral("/edit-XXXXXX");
}

} // namespace

int editCommand(const Options &options)
{
    if (options.operands.size() != 1)
        return usageError(QStringLiteral("edit takes one folder"));
    if (!qobject_cast<QApplication *>(QCoreApplication::instance()))
        return inputError(QStringLiteral("edit needs a display"));
    const QString folder = options.operands[0];
    settings::SettingsFileSet files;
    if (const std::optional<QString> error = readFolder(folder, &files))
        return inputError(*error);
    const QTemporaryDir scratch(scratchTemplate());
    if (!scratch.isValid())
        return inputError(
            QStringLiteral("cannot make a scratch folder: %1").arg(scratch.errorString()));
    FolderEdit edit(folder, files, scratch.path() + QLatin1Char('/'));
    if (const std::optional<QString> error = edit.prepare())
        return inputError(*error);

    editor::TSysSetForm window(scratch.path());
    // OK's step after Apply's save: the folder stands in for the server.
    window.setUpload([&edit](bool) {
        using Result = editor::TSysSetForm::UploadResult;
        if (const std::optional<QString> failure = edit.publish())
            return Result {Result::Kind::Failed, *failure};
        return Result {};
    });
    // A click on Apply runs the window's own handler first (slots run in the order they were
    // connected); a disabled Apply button then means the pages were saved.
    auto *apply = window.findChild<QPushButton *>(QStringLiteral("ApplyBitBtn"));
    QObject::connect(apply, &QPushButton::clicked, &window, [&edit, &window, apply] {
        if (apply->isEnabled())
            return;
        if (const std::optional<QString> failure = edit.publish()) {
            editor::showFailure(&window, *failure);
            apply->setEnabled(true);
        }
    });
    const bool accepted = window.exec() == QDialog::Accepted;
    if (options.json) {
        printJson({{QStringLiteral("folder"), folder},
            {QStringLiteral("outcome"),
                accepted ? QStringLiteral("saved") : QStringLiteral("cancelled")},
            {QStringLiteral("files_saved"), edit.savedFiles()}});
    } else {
        out() << folder << ": " << (accepted ? "saved" : "cancelled") << ", " << edit.savedFiles()
              << " files written\n";
        out().flush();
    }
    return kExitDone;
}

} // namespace quillon::tool
