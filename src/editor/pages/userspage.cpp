#include "editor/pages/userspage.h"

#include <QStackedWidget>

namespace quillon::editor {

UsersPage::UsersPage(SetupContext &context, QWidget *sheet) : SetupPage(context, sheet)
{
    NotebookUser = place<QStackedWidget>("NotebookUser", sheet, 0, 0, 832, 580);
    NotebookUser->addWidget(new QWidget(NotebookUser));
    NotebookUser->addWidget(new QWidget(NotebookUser));
}

void UsersPage::load() {}

void UsersPage::showList() { NotebookUser->setCurrentIndex(0); }

} // namespace quillon::editor
