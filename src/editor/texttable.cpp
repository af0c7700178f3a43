#include "editor/texttable.h"

#include "formats/language.h"
#include "schema/schema.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QStackedWidget>
#include <QTabWidget>

namespace quillon::editor {

ControlIndex::ControlIndex(QWidget *root)
{
    m_controls.insert(root->objectName(), root);
    for (QWidget *child : root->findChildren<QWidget *>()) {
        if (!child->objectName().isEmpty() && !m_controls.contains(child->objectName()))
            m_controls.insert(child->objectName(), child);
    }
}

QWidget *ControlIndex::find(const char *name) const
{
    return m_controls.value(QLatin1String(name));
}

void setControlText(QWidget *control, const QString &text)
{
    // A page of a tab widget sits in the tab widget's stack; its caption is the tab's text.
    if (auto *stack = qobject_cast<QStackedWidget *>(control->parentWidget())) {
        if (auto *tabs = qobject_cast<QTabWidget *>(stack->parentWidget())) {
            tabs->setTabText(tabs->indexOf(control), text);
            return;
        }
    }
    if (auto *button = qobject_cast<QAbstractButton *>(control))
        button->setText(text);
    else if (auto *label = qobject_cast<QLabel *>(control))
        label->setText(text);
    else if (auto *group = qobject_cast<QGroupBox *>(control))
        group->setTitle(text);
    else if (control->isWindow())
        control->setWindowTitle(text);
}

void applySwitchCaptions(const ControlIndex &controls)
{
    for (const schema::TableOf table : schema::settingTables()) {
        for (const schema::Setting &setting : table()) {
            if (setting.kind != schema::Kind::Flag)
                continue;
            if (auto *button = qobject_cast<QAbstractButton *>(controls.find(setting.control)))
                setControlText(button, setting.caption.in(formats::isChinese()));
        }
    }
}

void applyTexts(const ControlIndex &controls, std::span<const TextEntry> table)
{
    for (const TextEntry &entry : table) {
        if (QWidget *control = controls.find(entry.control))
            setControlText(control, formats::pick(entry.chinese, entry.english));
    }
}

} // namespace quillon::editor
