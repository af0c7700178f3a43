#pragma once

class QString;
class QWidget;

namespace quillon::editor {

// A notice in the current language: information icon, OK, titled "提示信息" / "Information".
void showNotice(QWidget *owner, const char *chinese, const char *english);
// A failure the operator must know of: warning icon, OK, the same title.
void showFailure(QWidget *owner, const QString &text);
// A question with Yes and No; true only for Yes.
bool askYesNo(QWidget *owner, const QString &question);
// Whether to replace settings someone else applied meanwhile; No, the default, keeps them.
bool askReplace(QWidget *owner, const QString &question);

} // namespace quillon::editor
