// The whole window on damaged files: the nine local copies come from the input (the parts
// between separators, in download order; a missing part is a missing file), the window's show
// step loads every page, then Apply runs with no change and once more. Nothing may crash, and
// the second Apply must leave every file byte for byte as the first left it.

#include "editor/sysset.h"
#include "settings/settingsfiles.h"
#include "support/widgetdriver.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdlib>
#include <memory>

namespace {

using quillon::settings::SettingsFileInfo;

// Between two files of an input; no settings file holds it.
constexpr char kSeparator[] = "\n\x01QUILLON-FILE\x01\n";

struct Harness
{
    std::unique_ptr<QTemporaryDir> data;
    std::unique_ptr<QApplication> app;
    QString workFolder;
};

Harness &harness()
{
    static Harness h = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        qputenv("LC_ALL", "zh_CN.UTF-8");
        Harness made;
        made.data = std::make_unique<QTemporaryDir>();
        qputenv("XDG_DATA_HOME", QFile::encodeName(made.data->path()));
        static int argc = 1;
        static char name[] = "fuzz_showstep";
        static char *argv[] = {name, nullptr};
        made.app = std::make_unique<QApplication>(argc, argv);
        made.workFolder = quillon::settings::ensureWorkFolder();
        // A check that fails shows a message box; it is answered at once.
        auto *closer = new QTimer(made.app.get());
        QObject::connect(closer, &QTimer::timeout, [] {
            if (QWidget *modal = QApplication::activeModalWidget())
                modal->close();
        });
        closer->start(0);
        return made;
    }();
    return h;
}

QList<QByteArray> localFiles(const QString &folder)
{
    QList<QByteArray> files;
    for (const SettingsFileInfo &info : quillon::settings::settingsFiles()) {
        QFile file(quillon::settings::localPath(folder, info.file));
        files << (file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<absent>"));
    }
    return files;
}

} // namespace

// Qt's font and style caches are allocated once and kept for the process; they are not leaks
// of the code under test. A long run's resident memory grows all the same: the sanitizer keeps
// freed memory in its quarantine (256 MiB) and a stack trace of every new allocation site;
// with ASAN_OPTIONS=quarantine_size_mb=0:malloc_context_size=0 it stays flat, and
// bench_showstep_memory shows the show step flat without the sanitizer.
extern "C" const char *__lsan_default_options()
{
    return "detect_leaks=0";
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size)
{
    Harness &h = harness();
    const QByteArray input(reinterpret_cast<const char *>(bytes), qsizetype(size));
    const QByteArray separator(kSeparator);
    qsizetype from = 0;
    quillon::settings::removeLocalCopies(h.workFolder);
    for (const SettingsFileInfo &info : quillon::settings::settingsFiles()) {
        if (from > input.size())
            continue;
        qsizetype end = input.indexOf(separator, from);
        if (end < 0)
            end = input.size();
        QFile file(h.workFolder + QLatin1String(info.name));
        if (file.open(QIODevice::WriteOnly))
            file.write(input.mid(from, end - from));
        from = end + separator.size();
    }

    {
        quillon::editor::TSysSetForm form;
        form.show();
        noteAChange(&form);
        pressApply(&form);
        const QList<QByteArray> afterFirst = localFiles(h.workFolder);
        noteAChange(&form);
        pressApply(&form);
        if (localFiles(h.workFolder) != afterFirst)
            std::abort();
        form.close();
    }
    return 0;
}
