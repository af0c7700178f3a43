#pragma once

#include "visit/entry.h"

#include <QLibrary>
#include <QString>

// The setup module, loaded at run time from the first place that has it: the program's
// folder's ../lib, the program's folder, then the dynamic loader's own search.
class SetupModule
{
public:
    using ShowSetupFormFunction = decltype(&ShowSetupForm);

    // False with a message naming every place tried when the module cannot be loaded or does
    // not export ShowSetupForm.
    bool load(const QString &programFolder);

    QString errorString() const { return m_error; }
    QString fileName() const { return m_library.fileName(); }

    std::int32_t showSetupForm(const char *host, std::uintptr_t ownerWindow, const char *userName,
        const char *password, std::int32_t portCode) const;

private:
    QLibrary m_library;
    ShowSetupFormFunction m_showSetupForm = nullptr;
    QString m_error;
};
