#include "visit/entry.h"

#include "editor/sysset.h"
#include "formats/language.h"
#include "hostlink/tcpclientdll.h"
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
    default:
        return formats::pick("不能连接到远程计算机: ", "Can not Connect Remote Host: ") + hostText;
    }
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
    form->setUpload([]() -> std::optional<QString> {
        if (const std::optional<TransferFailure> failure = uploadSettingsAndApply())
            return failureText(*failure);
        return std::nullopt;
    });
    makeOwned(form.get());
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
                                                                  std::uintptr_t ownerWindow,
                                                                  const char *userName,
                                                                  const char *password,
                                                                  std::int32_t portCode)
{
    // Nothing may unwind into the caller's code; the window is freed on every path.
    try {
        return quillon::visit::runVisit(host, ownerWindow, userName, password, portCode);
    } catch (...) {
        return 0;
    }
}
