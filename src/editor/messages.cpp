#include "editor/messages.h"

#include "editor/messageicons.h"
#include "formats/language.h"

#include <QMessageBox>

namespace quillon::editor {

void showNotice(QWidget *owner, const char *chinese, const char *english)
{
    QMessageBox box(QMessageBox::Information, formats::messageTitle(),
        formats::pick(chinese, english), QMessageBox::Ok, owner);
    box.setObjectName(QStringLiteral("NoticeBox"));
    useScalableIcon(box);
    box.exec();
}

void showFailure(QWidget *owner, const QString &text)
{
    QMessageBox box(QMessageBox::Warning, formats::messageTitle(), text, QMessageBox::Ok, owner);
    box.setObjectName(QStringLiteral("FailureBox"));
    useScalableIcon(box);
    box.exec();
}

bool askYesNo(QWidget *owner, const QString &question)
{
    QMessageBox box(QMessageBox::Question, formats::messageTitle(), question,
        QMessageBox::Yes | QMessageBox::No, owner);
    box.setObjectName(QStringLiteral("QuestionBox"));
    useScalableIcon(box);
    return box.exec() == QMessageBox::Yes;
}

bool askReplace(QWidget *owner, const QString &question)
{
    QMessageBox box(QMessageBox::Question, formats::messageTitle(), question,
        QMessageBox::Yes | QMessageBox::No, owner);
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    box.setObjectName(QStringLiteral("ReplaceNewerSettingsBox"));
    useScalableIcon(box);
    return box.exec() == QMessageBox::Yes;
}

} // namespace quillon::editor
