// Every page of the options sheet, in English and in German: no control covers another or is
// cut, every control is reached by the keyboard in the page's order before OK and Cancel, every
// box is named for screen readers. Run once more with QT_SCALE_FACTOR=2 (see CMakeLists.txt).
#include "OptionsFixture.h"

#include "gui/options/COptionPage.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QSlider>
#include <QTabBar>
#include <QTranslator>

#include <string>

namespace {

constexpr int pageCount = 8;

std::string Name(const QWidget* widget) {
    const QString text = widget->objectName().isEmpty()
                             ? QString::fromLatin1(widget->metaObject()->className())
                             : widget->objectName();
    if (const auto* label = qobject_cast<const QLabel*>(widget))
        return (text + " \"" + label->text() + "\"").toStdString();
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget))
        return (text + " \"" + button->text() + "\"").toStdString();
    return text.toStdString();
}

// The controls a page placed: its own children and those of its group boxes.
QList<QWidget*> VisibleControls(QWidget* holder) {
    QList<QWidget*> controls;
    for (QWidget* child : holder->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (!child->isVisible())
            continue;
        controls.append(child);
        if (qobject_cast<QGroupBox*>(child) != nullptr)
            controls.append(VisibleControls(child));
    }
    return controls;
}

// Siblings never intersect, every control lies inside its holder, and a text is never cut.
void ExpectLaidOutWhole(QWidget* holder, const std::string& where) {
    const QList<QWidget*> children = holder->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    for (int i = 0; i < children.size(); ++i) {
        QWidget* a = children[i];
        if (!a->isVisible())
            continue;
        EXPECT_TRUE(holder->rect().contains(a->geometry()))
            << where << ": " << Name(a) << " sticks out of " << Name(holder);
        for (int j = i + 1; j < children.size(); ++j) {
            QWidget* b = children[j];
            if (b->isVisible()) {
                EXPECT_FALSE(a->geometry().intersects(b->geometry()))
                    << where << ": " << Name(a) << " and " << Name(b) << " overlap";
            }
        }
        const QSize wanted = a->sizeHint();
        if (qobject_cast<QLabel*>(a) || qobject_cast<QAbstractButton*>(a)) {
            EXPECT_GE(a->width(), wanted.width()) << where << ": " << Name(a) << " is cut";
            EXPECT_GE(a->height(), wanted.height()) << where << ": " << Name(a) << " is cut";
        }
        if (qobject_cast<QComboBox*>(a) || qobject_cast<QLineEdit*>(a)) {
            // The drop-down that was drawn 100 px tall over the boxes below it.
            EXPECT_GE(a->height(), wanted.height()) << where << ": " << Name(a);
            EXPECT_LE(a->height(), wanted.height() * 3 / 2) << where << ": " << Name(a);
        }
        if (qobject_cast<QGroupBox*>(a))
            ExpectLaidOutWhole(a, where);
    }
}

bool HasMnemonic(const QString& text) {
    const qsizetype at = text.indexOf(QLatin1Char('&'));
    return at >= 0 && at + 1 < text.size() && text[at + 1] != QLatin1Char('&');
}

} // namespace

class OptionsLayout : public OptionsFixture, public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override {
        context.outputSettings = &outputs;
        // Every control of the line page in sight: the simulated line's box and the note that
        // the command line chose the lines are shown only then.
        lines.sources = {LineSource::Sim, LineSource::CallMonitor, LineSource::Ami};
        lines.callMonitor.host = "192.168.178.1";
        lines.ami.user = "tavo";
        context.lineSettings = &lines;
        context.linesFromCommandLine = true;
        context.makeSpeechEngine = {};
        if (German()) {
            ASSERT_TRUE(translator.load(QStringLiteral("tavo_de"),
                                        QStringLiteral(TAVO_TRANSLATIONS_DIR)));
            QApplication::installTranslator(&translator);
        }
        WriteDirectory(lists.Write()->phoneBook, "names.dat", {{"0301234567", "Anna", ""}});
        OpenSheet();
    }
    void TearDown() override {
        sheet.reset();
        QApplication::removeTranslator(&translator);
    }
    bool German() const { return GetParam(); }
    std::string Where(int page) const {
        return std::string(German() ? "German" : "English") + " page " + std::to_string(page) +
               " at scale " + qgetenv("QT_SCALE_FACTOR").toStdString();
    }

    OutputSettings outputs;
    LineSettings lines;
    QTranslator translator;
};

TEST_P(OptionsLayout, NoControlOfAnyPageCoversAnotherOrIsCut) {
    // Every page's tab is in sight, none behind scroll arrows.
    const QTabBar* tabBar = sheet->findChild<QTabBar*>();
    ASSERT_EQ(tabBar->count(), pageCount);
    for (int tab = 0; tab < pageCount; ++tab)
        EXPECT_TRUE(tabBar->rect().contains(tabBar->tabRect(tab))) << Where(tab);
    for (int page = 0; page < pageCount; ++page) {
        ShowPage(page);
        ASSERT_TRUE(sheet->Page(page)->WasShown());
        ExpectLaidOutWhole(sheet->Page(page), Where(page));
        // The page is whole inside the sheet, and the buttons below it.
        const QRect pageArea(sheet->Page(page)->mapTo(sheet.get(), QPoint(0, 0)),
                             sheet->Page(page)->size());
        EXPECT_TRUE(sheet->rect().contains(pageArea)) << Where(page);
        for (const char* button : {"IDOK", "IDCANCEL"}) {
            auto* ok = sheet->findChild<QWidget*>(QString::fromLatin1(button));
            const QRect area(ok->mapTo(sheet.get(), QPoint(0, 0)), ok->size());
            EXPECT_FALSE(area.intersects(pageArea)) << Where(page) << " " << button;
            EXPECT_TRUE(sheet->rect().contains(area)) << Where(page) << " " << button;
        }
    }
}

TEST_P(OptionsLayout, EveryControlIsNamedAndReachedInThePagesOrderBeforeOk) {
    for (int page = 0; page < pageCount; ++page) {
        ShowPage(page);
        const QList<QWidget*> controls = VisibleControls(sheet->Page(page));
        QList<QWidget*> focusable;
        for (QWidget* control : controls) {
            if (control->focusPolicy() & Qt::TabFocus)
                focusable.append(control);
            if (const auto* label = qobject_cast<QLabel*>(control); label && label->buddy()) {
                EXPECT_TRUE(HasMnemonic(label->text())) << Where(page) << ": " << Name(label);
            }
            if (const auto* button = qobject_cast<QAbstractButton*>(control)) {
                EXPECT_TRUE(HasMnemonic(button->text())) << Where(page) << ": " << Name(button);
            }
            if (qobject_cast<QLineEdit*>(control) || qobject_cast<QComboBox*>(control) ||
                qobject_cast<QSlider*>(control) || qobject_cast<QAbstractItemView*>(control)) {
                EXPECT_FALSE(control->accessibleName().isEmpty())
                    << Where(page) << ": " << Name(control);
            }
        }
        ASSERT_FALSE(focusable.isEmpty()) << Where(page);
        // Tab from the tab bar: the page's controls in the order they are shown, then OK and
        // Cancel. Greyed boxes are passed over, so every box is switched on first.
        for (QWidget* control : focusable)
            control->setEnabled(true);
        QWidget* at = sheet->findChild<QTabBar*>();
        QList<QWidget*> reached;
        for (int step = 0; step < 100 && reached.size() < focusable.size() + 2; ++step) {
            at = at->nextInFocusChain();
            if (at->isVisible() && at->isEnabled() && (at->focusPolicy() & Qt::TabFocus) &&
                at->window() == sheet.get() && at->focusProxy() == nullptr)
                reached.append(at);
        }
        QList<QWidget*> expected = focusable;
        expected << sheet->findChild<QWidget*>(QStringLiteral("IDOK"))
                 << sheet->findChild<QWidget*>(QStringLiteral("IDCANCEL"));
        ASSERT_EQ(reached.size(), expected.size()) << Where(page);
        for (int i = 0; i < expected.size(); ++i)
            EXPECT_EQ(reached[i], expected[i])
                << Where(page) << " step " << i << ": " << Name(reached[i]) << " instead of "
                << Name(expected[i]);
    }
}

INSTANTIATE_TEST_SUITE_P(Languages, OptionsLayout, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "German" : "English"; });
