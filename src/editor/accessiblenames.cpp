#include "editor/accessiblenames.h"

#include "editor/motiongrid.h"

#include "formats/language.h"
#include "schema/schema.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTabBar>

#include <limits>

namespace quillon::editor {

namespace {

// A caption as a name: without its mnemonic marker and the colon that leads to the control.
QString captionAsName(QString text)
{
    text.remove(QLatin1Char('&'));
    text = text.trimmed();
    while (text.endsWith(QLatin1Char(':')) || text.endsWith(QChar(0xFF1A)))
        text.chop(1);
    return text.trimmed();
}

bool isPartOfAnotherControl(const QWidget *widget)
{
    const QWidget *parent = widget->parentWidget();
    for (; parent; parent = parent->parentWidget()) {
        if (qobject_cast<const QAbstractSpinBox *>(parent)
            || qobject_cast<const QComboBox *>(parent)
            || qobject_cast<const QAbstractItemView *>(parent)
            || qobject_cast<const QTabBar *>(parent))
            return true;
    }
    return false;
}

struct NearLabels
{
    QLabel *left = nullptr; // on the control's line, left of it, the nearest
    QLabel *above = nullptr; // ending just above it and overlapping it sideways, the nearest
};

// The labels that may caption a control. They are looked for among the control's siblings,
// which is where the pages and dialogs place a control's caption.
NearLabels labelsNear(const QWidget *control)
{
    const QWidget *parent = control->parentWidget();
    if (!parent)
        return {};
    const QRect box = control->geometry();
    QLabel *left = nullptr;
    int leftGap = std::numeric_limits<int>::max();
    QLabel *above = nullptr;
    int aboveGap = std::numeric_limits<int>::max();
    constexpr int kMaxAboveGap = 24;
    for (QLabel *label : parent->findChildren<QLabel *>(Qt::FindDirectChildrenOnly)) {
        if (captionAsName(label->text()).isEmpty())
            continue;
        const QRect at = label->geometry();
        const int middle = at.center().y();
        if (middle >= box.top() - 4 && middle <= box.bottom() + 4 && at.left() < box.left()) {
            const int gap = box.left() - at.right();
            if (gap >= -4 && gap < leftGap) {
                leftGap = gap;
                left = label;
            }
        } else if (at.bottom() <= box.top() + 2 && at.left() < box.right()
            && at.right() > box.left()) {
            const int gap = box.top() - at.bottom();
            if (gap <= kMaxAboveGap && gap < aboveGap) {
                aboveGap = gap;
                above = label;
            }
        }
    }
    return {left, above};
}

bool captionsAControl(const QLabel *label)
{
    for (QWidget *sibling :
        label->parentWidget()->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly)) {
        if (sibling != label && takesInput(sibling) && labelsNear(sibling).left == label)
            return true;
    }
    return false;
}

// A label just right of the control on its line that captions no other control: the unit its
// number is in, or what the far end of a slider stands for.
QLabel *labelAfter(const QWidget *control)
{
    const QWidget *parent = control->parentWidget();
    if (!parent)
        return nullptr;
    const QRect box = control->geometry();
    constexpr int kMaxUnitGap = 12;
    for (QLabel *label : parent->findChildren<QLabel *>(Qt::FindDirectChildrenOnly)) {
        const QRect at = label->geometry();
        const int middle = at.center().y();
        const int gap = at.left() - box.right();
        if (middle >= box.top() - 4 && middle <= box.bottom() + 4 && gap >= -2 && gap <= kMaxUnitGap
            && !captionAsName(label->text()).isEmpty() && !captionsAControl(label))
            return label;
    }
    return nullptr;
}

QString groupTitle(const QWidget *control)
{
    for (const QWidget *parent = control->parentWidget(); parent; parent = parent->parentWidget()) {
        if (const auto *group = qobject_cast<const QGroupBox *>(parent))
            if (!captionAsName(group->title()).isEmpty())
                return captionAsName(group->title());
    }
    return {};
}

// The words after the control; a label that only repeats its value, a number, says nothing more.
QLabel *wordsAfter(const QWidget *control)
{
    QLabel *after = labelAfter(control);
    bool isNumber = false;
    if (after)
        captionAsName(after->text()).toInt(&isNumber);
    return isNumber ? nullptr : after;
}

// The control's own caption; else the label left of it, unless that only names one end of a
// slider; else its setting's caption; else the label above it; else its group's title.
QString nameOf(const QWidget *control, const schema::Setting *setting, const NearLabels &near)
{
    if (const auto *button = qobject_cast<const QAbstractButton *>(control))
        if (!captionAsName(button->text()).isEmpty())
            return captionAsName(button->text());
    const bool sliderBetweenEnds
        = qobject_cast<const QAbstractSlider *>(control) && near.left && wordsAfter(control);
    if (near.left && !sliderBetweenEnds)
        return captionAsName(near.left->text());
    if (setting && *setting->caption.english)
        return captionAsName(setting->caption.in(formats::isChinese()));
    if (near.above)
        return captionAsName(near.above->text());
    return groupTitle(control);
}

} // namespace

bool takesInput(const QWidget *widget)
{
    if (qobject_cast<const QScrollBar *>(widget) || qobject_cast<const QPushButton *>(widget))
        return false;
    const bool inputKind = qobject_cast<const QLineEdit *>(widget)
        || qobject_cast<const QAbstractSpinBox *>(widget) || qobject_cast<const QComboBox *>(widget)
        || qobject_cast<const QAbstractButton *>(widget)
        || qobject_cast<const QAbstractSlider *>(widget)
        || qobject_cast<const QAbstractItemView *>(widget)
        || widget->findChild<MotionGrid *>(QString(), Qt::FindDirectChildrenOnly);
    return inputKind && !isPartOfAnotherControl(widget);
}

void nameInputControls(QWidget *root)
{
    for (QWidget *control : root->findChildren<QWidget *>()) {
        // The motion grid names itself and its cells.
        if (!takesInput(control)
            || control->findChild<MotionGrid *>(QString(), Qt::FindDirectChildrenOnly))
            continue;
        const schema::Setting *setting = schema::settingOfControl(control->objectName().toUtf8());
        const NearLabels near = labelsNear(control);
        const QString name = nameOf(control, setting, near);
        if (!name.isEmpty())
            control->setAccessibleName(name);
        // The label also leads to the control: its relation names the control where the
        // platform names a list by its chosen entry, and its shortcut key focuses it.
        if (near.left && !qobject_cast<const QAbstractButton *>(control))
            near.left->setBuddy(control);
        QStringList description;
        const QLabel *after
            = qobject_cast<const QAbstractButton *>(control) ? nullptr : wordsAfter(control);
        if (after && qobject_cast<const QAbstractSlider *>(control) && near.left)
            description << captionAsName(near.left->text()) + QStringLiteral(" … ")
                    + captionAsName(after->text());
        else if (after)
            description << captionAsName(after->text());
        if (setting && setting->kind == schema::Kind::Number && setting->hasRange())
            description << formats::pick("范围 %1 至 %2", "from %1 to %2")
                               .arg(setting->minimum)
                               .arg(setting->maximum);
        control->setAccessibleDescription(description.join(QStringLiteral(", ")));
    }
}

} // namespace quillon::editor
