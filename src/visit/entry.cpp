#include "visit/entry.h"

#include "editor/messageicons.h"
#include "editor/sysset.h"
#include "formats/language.h"
#include "hostlink/knownhosts.h"
#include "hostlink/tcpclientdll.h"
#include "settings/worklock.h"
#include "visit/hostvisit.h"

#include <QApplication>
#include <QMessageBox>
#include <QWindow>

#include <memory>
#include <utility>

namespace quillon::visit {

namespace {

// The caller's QApplication, or one made here and kept for later calls when the process has
// none. A process with a non-GUI application object cannot show the window.
QApplication *ensureApplication()
{
    if (auto *app = qobject_cast<QApplication *>(QCoreApplication::instance()))
        return app;
    if (QCoreApplication::instance())
        return nullptr;
    static int argc = 1;
    static char name[] = "quillon";
    static char *argv[] = {name, nullptr};
    return new QApplication(argc, argv);
}

void makeOwned(QWidget *widget)
{
    QWindow *owner = ownerWindow();
    if (!owner)
        return;
    widget->winId(); // creates the native window so that it can take an owner
    if (QWindow *window = widget->windowHandle())
        window->setTransientParent(owner);
}

QString loginFailureText(std::int32_t result, const QByteArray &host)
{
    const QString hostText = QString::fromLocal8Bit(host);
    switch (result) {
    case KX_LOGIN_UNKNOWN_USER:
    case KX_LOGIN_WRONG_PASSWORD:
        return formats::isChinese() ? QString::fromUtf8("登陆失败！请确认用户名与密码的正确性。")
                                    : QStringLiteral("Login Remote Host: %1 Failed").arg(hostText);
    case KX_LOGIN_NOT_ALLOWED:
        return formats::isChinese() ? QString::fromUtf8("登陆失败！该用户不允许远程配置。")
                                    : QStringLiteral("Login Remote Host: %1 Failed").arg(hostText);
    case KX_LOGIN_IDENTITY_CHANGED:
        return formats::isChinese()
            ? QString::fromUtf8("远程计算机 %1 的身份已改变，已拒绝连接。").arg(hostText)
            : QStringLiteral("The identity of Remote Host: %1 has changed; not connected")
                  .arg(hostText);
    case KX_LOGIN_KNOWN_HOSTS_UNREADABLE:
        return formats::pick("不能读取已知服务器文件 %2，无法核对远程计算机 %1 的身份，没有连接。",
            "Can not read the known hosts file %2, so the identity of Remote Host: %1 can not be "
            "checked; not connected")
            .arg(hostText, wire::knownHostsPath());
    case KX_LOGIN_KNOWN_HOSTS_UNWRITABLE:
        return formats::pick(
            "不能把远程计算机 %1 的身份保存到已知服务器文件 %2，以后无法核对，没有连接。",
            "Can not store the identity of Remote Host: %1 in the known hosts file %2, so it "
            "could not be checked later; not connected")
            .arg(hostText, wire::knownHostsPath());
    default:
        return formats::pick("不能连接到远程计算机: ", "Can not Connect Remote Host: ") + hostText;
    }
}

QString busyText(const settings::WorkFolderLock &lock, const QString &folder)
{
    if (lock.state() == settings::WorkFolderLock::State::Unavailable)
        return formats::pick(
            "不能锁定工作文件夹 %1，没有连接。", "Can not lock the work folder %1; not connected.")
            .arg(folder);
    const QString server = lock.server();
    if (server.isEmpty())
        return formats::pick("另一个设置窗口正在使用工作文件夹，请先关闭它。",
            "Another setup window is using the work folder; close it first.");
    return formats::pick("另一个设置窗口正在配置远程计算机 %1，请先关闭它。",
        "Another setup window is configuring Remote Host: %1; close it first.")
        .arg(server);
}

// Asks whether OK uploads without a backup; No, the default, keeps the window.
bool askUploadWithoutBackup(QWidget *owner, const QString &why)
{
    QMessageBox box(QMessageBox::Question, formats::messageTitle(), why,
        QMessageBox::Yes | QMessageBox::No, owner);
    box.setObjectName(QStringLiteral("UploadWithoutBackupBox"));
    editor::useScalableIcon(box);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

void showFailure(const char *boxName, const QString &text)
{
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Quillon"), text, QMessageBox::Ok);
    box.setObjectName(QLatin1String(boxName));
    makeOwned(&box);
    box.exec();
}

std::int32_t runVisit(const char *host, std::uintptr_t ownerId, const char *userName,
    const char *password, std::int32_t portCode)
{
    if (!ensureApplication())
        return 0;
    installOwnerWindow(ownerId);
    storeHost(host, portCode);

    std::int32_t result = 0;
    auto form = std::make_unique<editor::TSysSetForm>();
    setWorkFolder(form->context().workFolder);
    editor::TSysSetForm *window = form.get();
    form->setUpload([window](bool replaceNewerSettings) {
        using Result = editor::TSysSetForm::UploadResult;
        const auto ask = [window](const QString &why) {
            return askUploadWithoutBackup(window, why);
        };
        const std::optional<TransferFailure> failure
            = uploadSettingsAndApply(ask, replaceNewerSettings);
        if (!failure)
            return Result {};
        if (failure->step == TransferFailure::Step::Stale)
            return Result {Result::Kind::Conflict, failureText(*failure)};
        return Result {Result::Kind::Failed, failureText(*failure)};
    });
    makeOwned(form.get());
    // Held until the visit ends: no other visit may replace this one's local copies.
    const settings::WorkFolderLock lock(workFolder());
    if (lock.state() != settings::WorkFolderLock::State::Held) {
        showFailure("VisitBusyBox", busyText(lock, workFolder()));
        return result;
    }
    lock.setServer(
        QStringLiteral("%1:%2").arg(QString::fromLocal8Bit(storedHost())).arg(storedPort()));
    const std::int32_t login = verifyUser(userName, password);
    if (login != KX_LOGIN_ACCEPTED) {
        showFailure("LoginFailureBox", loginFailureText(login, storedHost()));
        return result;
    }
    // Work the show step would do, done inside the pauses where it costs the operator nothing:
    // each copy parsed as it arrives, and the style's polish of every control of the hidden
    // window once. What the window shows and when it reads the files do not change.
    bool polished = false;
    const auto prepareInPause = [&form, &polished](settings::SettingsFile file) {
        editor::SetupContext &context = form->context();
        context.store.preload(settings::localPath(context.workFolder, file));
        if (!std::exchange(polished, true))
            form->ensurePolished();
    };
    // A visit never shows a window built from files that did not all arrive.
    if (const std::optional<TransferFailure> failure = downloadSettingsFiles(prepareInPause)) {
        showFailure("DownloadFailureBox", failureText(*failure));
        return result;
    }
    QCoreApplication::processEvents();
    result = -1;
    form->exec();
    return result;
}

} // namespace

} // namespace quillon::visit

extern "C" QUILLON_EXPORT std::int32_t QUILLON_CALL ShowSetupForm(const char *host,
    std::uintptr_t ownerWindow, const char *userName, const char *password, std::int32_t portCode)
{
    // Nothing may unwind into the caller's code; the window is freed on every path.
    try {
        return quillon::visit::runVisit(host, ownerWindow, userName, password, portCode);
    } catch (...) {
        return 0;
    }
}
