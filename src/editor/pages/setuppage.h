#pragma once

#include "editor/placement.h"
#include "editor/setupcontext.h"
#include "editor/texttable.h"

#include <QWidget>

#include <initializer_list>
#include <span>

namespace quillon::editor {

// Enables the controls that follow a switch while it is on, and disables them while it is off.
inline void enableWhile(bool on, std::initializer_list<QWidget *> controls)
{
    for (QWidget *control : controls)
        control->setEnabled(on);
}

// One page of the setup window: it builds its controls on its sheet, names them, and gives
// the captions they carry in both languages. The window calls each page's load, check and
// save in its fixed orders.
class SetupPage
{
public:
    SetupPage(SetupContext &context, QWidget *sheet) : m_context(context), m_sheet(sheet) { }
    virtual ~SetupPage() = default;
    SetupPage(const SetupPage &) = delete;
    SetupPage &operator=(const SetupPage &) = delete;

    QWidget *sheet() const { return m_sheet; }

    // The page's captions, applied by the window's text routine.
    virtual std::span<const TextEntry> texts() const { return {}; }
    // Texts that live in rows or lists, rebuilt after the captions in the current language.
    virtual void retranslateRows() { }

protected:
    SetupContext &m_context;
    QWidget *m_sheet;
};

} // namespace quillon::editor
