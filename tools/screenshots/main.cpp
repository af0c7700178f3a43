// Renders every page of the setup window and each of its dialogs from the sample server's
// files, in one language, into PNG files:
//   quillon-screenshots --out DIR --lang zh|en
// The window is built exactly as a visit builds it; only the network part is left out.

#include "editor/dialogs/camset.h"
#include "editor/dialogs/chnselect.h"
#include "editor/dialogs/presetpos.h"
#include "editor/dialogs/rectimeset.h"
#include "editor/sysset.h"
#include "formats/camerasettings.h"
#include "settings/settingsfiles.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTabWidget>
#include <QTemporaryDir>

#include <cstdio>
#include <functional>

using namespace quillon;

namespace {

bool copySamples(const QString &workFolder)
{
    for (const settings::SettingsFileInfo &info : settings::settingsFiles()) {
        const QString source = QStringLiteral(QUILLON_SAMPLES_DIR "/")
            + QString::fromLatin1(settings::remotePath(info.file))
                  .replace(QLatin1Char('\\'), QLatin1Char('/'));
        const QString target = workFolder + QLatin1String(info.name);
        QFile::remove(target);
        if (!QFile::copy(source, target))
            return false;
    }
    return true;
}

class Shooter
{
public:
    Shooter(QString folder, QString language)
        : m_folder(std::move(folder)), m_language(std::move(language))
    { }

    bool save(QWidget *widget, const QString &name)
    {
        QApplication::processEvents();
        const QString path = QStringLiteral("%1/%2-%3-%4.png")
                                 .arg(m_folder, m_language)
                                 .arg(++m_count, 2, 10, QLatin1Char('0'))
                                 .arg(name);
        // The strongest compression: the pictures are kept in the repository.
        if (!widget->grab().save(path, "PNG", 0))
            return false;
        std::printf("%s\n", qPrintable(path));
        return true;
    }

    // Shows a dialog without its modal loop, pictures it and closes it.
    bool dialog(QDialog *dialog, const QString &name)
    {
        dialog->show();
        const bool saved = save(dialog, name);
        dialog->close();
        delete dialog;
        return saved;
    }

private:
    QString m_folder;
    QString m_language;
    int m_count = 0;
};

} // namespace

int main(int argc, char **argv)
{
    QString out, language;
    for (int i = 1; i + 1 < argc; i += 2) {
        const QString option = QString::fromLocal8Bit(argv[i]);
        if (option == QLatin1String("--out"))
            out = QString::fromLocal8Bit(argv[i + 1]);
        else if (option == QLatin1String("--lang"))
            language = QString::fromLocal8Bit(argv[i + 1]);
    }
    if (out.isEmpty() || (language != QLatin1String("zh") && language != QLatin1String("en"))) {
        std::fputs("usage: quillon-screenshots --out DIR --lang zh|en\n", stderr);
        return 2;
    }
    // The window takes its language from the locale and keeps its files in the data folder.
    qputenv("LC_ALL", language == QLatin1String("zh") ? "zh_CN.UTF-8" : "en_US.UTF-8");
    QTemporaryDir data;
    qputenv("XDG_DATA_HOME", QFile::encodeName(data.path()));
    QApplication app(argc, argv);
    if (!QDir().mkpath(out) || !QDir().mkpath(settings::workFolderPath())
        || !copySamples(settings::workFolderPath())) {
        std::fputs("cannot prepare the output or work folder\n", stderr);
        return 1;
    }

    editor::TSysSetForm form;
    form.show();
    Shooter shooter(out, language);
    bool ok = true;
    auto *pages = form.findChild<QTabWidget *>(QStringLiteral("PageControl1"));
    for (int index = 0; index < pages->count(); ++index) {
        if (!pages->isTabVisible(index))
            continue;
        pages->setCurrentIndex(index);
        QWidget *page = pages->widget(index);
        if (auto *inner = page->findChild<QTabWidget *>()) {
            for (int innerIndex = 0; innerIndex < inner->count(); ++innerIndex) {
                inner->setCurrentIndex(innerIndex);
                ok = shooter.save(&form, inner->widget(innerIndex)->objectName()) && ok;
            }
            continue;
        }
        ok = shooter.save(&form, page->objectName()) && ok;
    }

    auto *segment = new editor::TRecTimeSetForm(&form);
    ok = shooter.dialog(segment, QStringLiteral("TRecTimeSetForm")) && ok;
    ok = shooter.dialog(
             new editor::TChnSelectForm(editor::TChnSelectForm::Mode::Channels, 16, &form),
             QStringLiteral("TChnSelectForm-channels"))
        && ok;
    ok = shooter.dialog(
             new editor::TChnSelectForm(editor::TChnSelectForm::Mode::Weekdays, 7, &form),
             QStringLiteral("TChnSelectForm-weekdays"))
        && ok;
    formats::CameraNameTable names;
    names.fill();
    ok = shooter.dialog(new editor::TCamSetForm(names, &form), QStringLiteral("TCamSetForm")) && ok;
    ok = shooter.dialog(new editor::TPresetPosForm(&form), QStringLiteral("TPresetPosForm")) && ok;
    form.reject();
    return ok ? 0 : 1;
}
