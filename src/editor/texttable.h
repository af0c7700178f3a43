#pragma once

#include <QHash>
#include <QString>

#include <span>

class QWidget;

namespace quillon::editor {

// One control's caption in both languages, looked up by the control's object name.
struct TextEntry
{
    const char *control;
    const char *chinese;
    const char *english;
};

// The named controls of a window, found once for a whole run of the text routine.
class ControlIndex
{
public:
    explicit ControlIndex(QWidget *root);
    QWidget *find(const char *name) const;

private:
    QHash<QString, QWidget *> m_controls;
};

// Sets each listed control's caption in the current language: a page's tab text, a button's or
// label's text, a group's title, or a window's title.
void applyTexts(const ControlIndex &controls, std::span<const TextEntry> table);
// Sets the caption of each switch that shows a flag setting to the setting's caption, so a
// switch's words are declared once, in the schema. A page's own table, applied afterwards,
// overrides it where the window words a switch apart from the setting.
void applySwitchCaptions(const ControlIndex &controls);
void setControlText(QWidget *control, const QString &text);

} // namespace quillon::editor
