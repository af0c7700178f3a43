// No text of the setup window or of its dialogs is cut off: each label, button, check box, radio
// button, group title and tab has the room its text needs in the font the window draws it with,
// on every page, in both languages.

#include "formats/language.h"
#include "support/everydialog.h"
#include "support/setupfixture.h"

#include <QCheckBox>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QStyleOption>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>

#include <functional>

using namespace quillon;

namespace {

// A width or height no text of the window comes near, for measuring a text on one line.
constexpr int kUnbounded = 100000;

// Collects every text under a root that does not fit the part of its control that can show it.
class ClipFinder
{
public:
    explicit ClipFinder(QString language) : m_language(std::move(language)) { }

    void check(QWidget *root)
    {
        QApplication::processEvents();
        for (QWidget *widget : root->findChildren<QWidget *>()) {
            if (!widget->isVisible())
                continue;
            if (auto *label = qobject_cast<QLabel *>(widget))
                checkLabel(label);
            else if (auto *button = qobject_cast<QPushButton *>(widget))
                checkButton(button, QStyle::SE_PushButtonContents, Qt::AlignCenter);
            else if (auto *box = qobject_cast<QCheckBox *>(widget))
                checkButton(box, QStyle::SE_CheckBoxContents, Qt::AlignLeft | Qt::AlignVCenter);
            else if (auto *radio = qobject_cast<QRadioButton *>(widget))
                checkButton(
                    radio, QStyle::SE_RadioButtonContents, Qt::AlignLeft | Qt::AlignVCenter);
            else if (auto *group = qobject_cast<QGroupBox *>(widget))
                checkGroupTitle(group);
            else if (auto *bar = qobject_cast<QTabBar *>(widget))
                checkTabs(bar);
        }
    }

    QStringList found() const
    {
        QStringList unique = m_found;
        unique.removeDuplicates();
        return unique;
    }

private:
    // The text must fit the room, and where it lands in the room must be visible, not cut by a
    // parent's edge.
    void checkText(QWidget *widget, const QString &text, const QRect &room, Qt::Alignment alignment,
        bool wraps = false)
    {
        // A blank at the end shows nothing, so it may run past the edge.
        QString shown = text;
        while (!shown.isEmpty() && shown.back().isSpace())
            shown.chop(1);
        if (shown.isEmpty())
            return;
        const QFontMetrics metrics = widget->fontMetrics();
        const int flags = Qt::TextShowMnemonic | (wraps ? Qt::TextWordWrap : 0);
        const QSize needed
            = metrics
                  .boundingRect(
                      QRect(0, 0, wraps ? room.width() : kUnbounded, kUnbounded), flags, shown)
                  .size();
        const QRect drawn = QStyle::alignedRect(widget->layoutDirection(), alignment,
            needed.boundedTo(QSize(kUnbounded, room.height())), room);
        const QRect visible = (widget->visibleRegion() & room).boundingRect();
        if (needed.width() <= room.width() && needed.height() <= room.height()
            && visible.contains(drawn))
            return;
        report(widget, shown, needed, visible.size());
    }

    void report(QWidget *widget, const QString &text, QSize needed, QSize had)
    {
        m_found << QStringLiteral("%1 [%2] \"%3\": needs %4x%5, has %6x%7")
                       .arg(widget->objectName(), m_language, text)
                       .arg(needed.width())
                       .arg(needed.height())
                       .arg(had.width())
                       .arg(had.height());
    }

    void checkLabel(QLabel *label)
    {
        const int margin = label->margin();
        checkText(label, label->text(),
            label->contentsRect().adjusted(margin, margin, -margin, -margin), label->alignment(),
            label->wordWrap());
    }

    void checkButton(QAbstractButton *button, QStyle::SubElement contents, Qt::Alignment alignment)
    {
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        option.icon = button->icon();
        option.iconSize = button->iconSize();
        checkText(button, button->text(),
            button->style()->subElementRect(contents, &option, button), alignment);
    }

    // The style sizes a group's title to its text; what counts is that the title lies within the
    // group and is not cut by a parent.
    void checkGroupTitle(QGroupBox *group)
    {
        QStyleOptionGroupBox option;
        option.initFrom(group);
        option.text = group->title();
        option.subControls = QStyle::SC_GroupBoxLabel;
        if (group->isCheckable())
            option.subControls |= QStyle::SC_GroupBoxCheckBox;
        const QRect title = group->style()->subControlRect(
            QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, group);
        const QRect visible = (group->visibleRegion() & title).boundingRect();
        if (group->title().isEmpty() || visible == title)
            return;
        report(group, group->title(), title.size(), visible.size());
    }

    // Each shown tab's text within the tab's padding, unless the bar shortens texts that do not
    // fit and the tab's tooltip gives the full text. A bar whose tabs do not all fit shows
    // scroll arrows, and the tabs behind them are cut off.
    void checkTabs(QTabBar *bar)
    {
        for (QToolButton *arrow : bar->findChildren<QToolButton *>()) {
            if (arrow->isVisible()) {
                m_found << QStringLiteral("%1 [%2]: the tabs need scroll arrows")
                               .arg(bar->objectName(), m_language);
                break;
            }
        }
        for (int index = 0; index < bar->count(); ++index) {
            const bool shortened = bar->elideMode() != Qt::ElideNone
                && bar->tabToolTip(index) == bar->tabText(index);
            if (!bar->isTabVisible(index) || shortened)
                continue;
            QStyleOptionTab option;
            option.initFrom(bar);
            option.rect = bar->tabRect(index);
            option.text = bar->tabText(index);
            option.shape = bar->shape();
            option.documentMode = bar->documentMode();
            const QRect room = bar->style()->subElementRect(QStyle::SE_TabBarTabText, &option, bar);
            checkText(bar, bar->tabText(index), room, Qt::AlignCenter);
        }
    }

    QString m_language;
    QStringList m_found;
};

// Shows the page: each stack on the way up shows the child that leads to it, through its tab
// widget where it has one. False for a page whose tab is hidden, which no operator can reach.
bool reveal(QWidget *page)
{
    std::vector<std::function<void()>> steps;
    for (QWidget *child = page, *parent = page->parentWidget(); parent;
         child = parent, parent = parent->parentWidget()) {
        auto *stack = qobject_cast<QStackedWidget *>(parent);
        if (!stack)
            continue;
        if (auto *tabs = qobject_cast<QTabWidget *>(stack->parentWidget())) {
            const int index = tabs->indexOf(child);
            if (!tabs->isTabVisible(index))
                return false;
            steps.push_back([tabs, index] { tabs->setCurrentIndex(index); });
        } else {
            steps.push_back([stack, child] { stack->setCurrentWidget(child); });
        }
    }
    for (auto step = steps.rbegin(); step != steps.rend(); ++step)
        (*step)();
    return true;
}

// Checks the root as shown, then with each page of each of its stacks shown in turn.
void checkEveryPage(QWidget *root, ClipFinder &finder)
{
    finder.check(root);
    for (QStackedWidget *stack : root->findChildren<QStackedWidget *>()) {
        for (int index = 0; index < stack->count(); ++index) {
            if (reveal(stack->widget(index)))
                finder.check(root);
        }
    }
}

// Names each clipped text on its own line: a failure message alone would be cut short.
void expectNothingClipped(const QStringList &clipped)
{
    for (const QString &text : clipped)
        qWarning("clipped: %s", qPrintable(text));
    QVERIFY2(clipped.isEmpty(), qPrintable(QStringLiteral("%1 texts clipped").arg(clipped.size())));
}

void checkDialog(QDialog *dialog, ClipFinder &finder)
{
    dialog->show();
    checkEveryPage(dialog, finder);
    dialog->close();
}

} // namespace

class TestClipping : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        // Without a font that has the Chinese characters each would be measured as a box.
        QVERIFY2(!QFontDatabase::families(QFontDatabase::SimplifiedChinese).isEmpty(),
            "no font shows Chinese text (scripts/test installs one)");
    }

    // The window in Chinese, then after the switch to English.
    void windowTextsFit()
    {
        m_fixture = std::make_unique<SetupFixture>("zh_CN.UTF-8");
        SetupFixture::copySamples();
        auto form = SetupFixture::showForm();
        ClipFinder chinese(QStringLiteral("zh"));
        checkEveryPage(form.get(), chinese);

        reveal(control<QWidget>(form.get(), "TabSheet1"));
        control<QRadioButton>(form.get(), "EnRadioBtn")->click();
        QVERIFY(!formats::isChinese());
        ClipFinder english(QStringLiteral("en"));
        checkEveryPage(form.get(), english);

        qInfo("clipped texts: %d in Chinese, %d in English", int(chinese.found().size()),
            int(english.found().size()));
        expectNothingClipped(chinese.found() + english.found());
    }

    void dialogTextsFit_data()
    {
        QTest::addColumn<bool>("chinese");
        QTest::newRow("Chinese") << true;
        QTest::newRow("English") << false;
    }

    // The four dialogs; the channel list's select-all button with both of its captions.
    void dialogTextsFit()
    {
        QFETCH(bool, chinese);
        formats::setChinese(chinese);
        ClipFinder finder(chinese ? QStringLiteral("zh") : QStringLiteral("en"));
        EveryDialog dialogs;
        for (QDialog *dialog : dialogs.all())
            checkDialog(dialog, finder);
        control<QAbstractButton>(&dialogs.channels, "BitBtn3")->click();
        checkDialog(&dialogs.channels, finder);
        expectNothingClipped(finder.found());
    }

private:
    std::unique_ptr<SetupFixture> m_fixture;
};

QTEST_MAIN(TestClipping)
#include "tst_clipping.moc"
