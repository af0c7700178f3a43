#pragma once

#include "editor/pages/setuppage.h"

class QStackedWidget;

namespace quillon::editor {

// The server's user accounts; every change rewrites the user file at once.
class UsersPage : public SetupPage
{
public:
    UsersPage(SetupContext &context, QWidget *sheet);

    // Reads the user file and lists the administrator and the users, none selected.
    void load();
    // Shows the list view of the page.
    void showList();

private:
    QStackedWidget *NotebookUser = nullptr;
};

} // namespace quillon::editor
