#include "gui/CallPopup.h"
#include "gui/CPopupDlg.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QLineEdit>
#include <QPalette>
#include <QPointer>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QWidget>
#include <cstring>
#include <vector>

namespace {

struct RecordingSink : SoundSink {
    int rings = 0;
    int melodies = 0;
    void PlayRingIn() override { ++rings; }
    void PlayBeepMelody() override { ++melodies; }
};

class PopupTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetDefaultSettings(*settings.Write());
        record.repeatCount = 1;
    }

    CallPopup* Start(const std::string& text = "012/34  ( Office/speech ) ") {
        return CallPopup::Start(nullptr, context, text, record);
    }

    GuardedSettings settings;
    RecordingSink sound;
    CallRecord record;
    int restores = 0;
    CallPopup::Context context{settings, sound, [this] { ++restores; }, 1000};
};

// Ticks until the popup is done; returns the number of ticks it took.
int TicksUntilDone(CallPopup* popup, int limit = 50) {
    for (int tick = 1; tick <= limit; ++tick) {
        popup->Tick();
        if (popup->Done())
            return tick;
    }
    return -1;
}

TEST_F(PopupTest, ShowsTheTextOnTopAndPlaysTheRing) {
    CallPopup* popup = Start();
    CPopupDlg* window = popup->PopupWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(window->windowTitle(), "incoming call");
    EXPECT_EQ(window->Text(), "012/34  ( Office/speech ) ");
    EXPECT_EQ(window->TickCount(), 1);
    EXPECT_EQ(sound.rings, 1);
    EXPECT_EQ(sound.melodies, 0);
    delete popup;
}

TEST_F(PopupTest, NoRingWithPlaySoundOff) {
    settings.Write()->playSound = 0;
    CallPopup* popup = Start();
    EXPECT_TRUE(popup->PopupWindow()->isVisible());
    EXPECT_EQ(sound.rings, 0);
    delete popup;
}

TEST_F(PopupTest, UnscaledPopupEndsAtTheFirstPeriod) {
    settings.Write()->popupScaledByCount = 0;
    record.repeatCount = 3;
    CallPopup* popup = Start();
    EXPECT_EQ(TicksUntilDone(popup), 1);
    delete popup;
}

TEST_F(PopupTest, ScaledPopupLastsOnePeriodPerNotice) {
    CallPopup* popup = Start();
    EXPECT_EQ(TicksUntilDone(popup), 1);
    delete popup;

    // Two repeated notices arrive during the first period: three periods in all.
    popup = Start();
    record.repeatCount = 3;
    EXPECT_EQ(TicksUntilDone(popup), 3);
    delete popup;

    // The count is read again at each period, so a repeat lengthens a popup that is up.
    record.repeatCount = 1;
    popup = Start();
    record.repeatCount = 2;
    popup->Tick();
    EXPECT_FALSE(popup->Done());
    popup->Tick();
    EXPECT_TRUE(popup->Done());
    delete popup;
}

TEST_F(PopupTest, RunsOnItsTimerAndDeletesItself) {
    context.millisecondsPerSecond = 20;
    settings.Write()->displaySeconds = 2;
    record.repeatCount = 2;
    QPointer<CallPopup> popup = Start();
    QPointer<CPopupDlg> window = popup->PopupWindow();
    QSignalSpy finished(popup.data(), &CallPopup::Finished);
    EXPECT_TRUE(finished.wait(5000));
    QTRY_VERIFY_WITH_TIMEOUT(popup.isNull(), 5000);
    EXPECT_TRUE(window.isNull());
}

TEST_F(PopupTest, DamagedDisplayTimeStillEnds) {
    // A negative time from a damaged settings record must not keep the popup up for good.
    context.millisecondsPerSecond = 20;
    settings.Write()->displaySeconds = -5;
    QPointer<CallPopup> popup = Start();
    QSignalSpy finished(popup.data(), &CallPopup::Finished);
    EXPECT_TRUE(finished.wait(5000));
}

TEST_F(PopupTest, SeveralPopupsAtOnce) {
    CallPopup* first = Start("first");
    CallPopup* second = Start("second");
    EXPECT_TRUE(first->PopupWindow()->isVisible());
    EXPECT_TRUE(second->PopupWindow()->isVisible());
    EXPECT_NE(first->PopupWindow(), second->PopupWindow());
    delete first;
    EXPECT_TRUE(second->PopupWindow()->isVisible());
    delete second;
}

TEST_F(PopupTest, NeverTakesTheKeyboardFromTheWindowTheUserTypesIn) {
    QWidget window;
    auto* field = new QLineEdit(&window);
    window.show();
    window.activateWindow();
    field->setFocus();
    QTRY_VERIFY_WITH_TIMEOUT(window.isActiveWindow() && field->hasFocus(), 5000);
    QTest::keyClicks(nullptr, "Fra"); // to whatever has the focus
    std::vector<CallPopup*> popups;
    for (const char* text : {"first", "second", "third"}) {
        popups.push_back(Start(text));
        CPopupDlg* popup = popups.back()->PopupWindow();
        EXPECT_TRUE(popup->windowFlags() & Qt::WindowDoesNotAcceptFocus);
        EXPECT_TRUE(popup->testAttribute(Qt::WA_ShowWithoutActivating));
        // Not even when the popup itself asks for it.
        popup->activateWindow();
        QApplication::processEvents();
        EXPECT_TRUE(popup->isVisible());
        QTRY_COMPARE_WITH_TIMEOUT(QApplication::activeWindow(), &window, 5000);
    }
    QTest::keyClicks(nullptr, "nkfurt am Main");
    EXPECT_EQ(field->text(), "Frankfurt am Main");
    EXPECT_TRUE(field->hasFocus());
    for (CallPopup* popup : popups) {
        EXPECT_FALSE(popup->PopupWindow()->isActiveWindow());
        // Never active, so its end gives nothing back to the main window.
        popup->Tick();
        EXPECT_TRUE(popup->Done());
        delete popup;
    }
    EXPECT_EQ(restores, 0);
}

TEST_F(PopupTest, PopupsOfCallsCloseTogetherDoNotCoverEachOther) {
    std::vector<CallPopup*> popups;
    for (const char* text : {"one", "two", "three"})
        popups.push_back(Start(text));
    for (size_t i = 0; i < popups.size(); ++i)
        for (size_t j = i + 1; j < popups.size(); ++j)
            EXPECT_FALSE(popups[i]->PopupWindow()->frameGeometry().intersects(
                popups[j]->PopupWindow()->frameGeometry()))
                << i << " " << j;
    // Once the first is gone, the next one takes its place in the middle again.
    delete popups[0];
    CallPopup* next = Start("four");
    const QRect desktop = QGuiApplication::primaryScreen()->geometry();
    EXPECT_LE(std::abs(next->PopupWindow()->frameGeometry().center().y() - desktop.center().y()),
              1);
    delete next;
    delete popups[1];
    delete popups[2];
}

TEST(PopupStackTest, StacksBelowAndStartsAgainAtTheTopPastTheFoot) {
    const QRect screen(0, 0, 400, 300);
    const QRect wanted(100, 100, 200, 50);
    EXPECT_EQ(StackedPopupPosition(wanted, {}, screen), QPoint(100, 100));
    // Below the one it would cover, then below the next.
    EXPECT_EQ(StackedPopupPosition(wanted, {QRect(100, 100, 200, 50)}, screen), QPoint(100, 154));
    EXPECT_EQ(StackedPopupPosition(wanted, {QRect(100, 100, 200, 50), QRect(100, 154, 200, 50)},
                                   screen),
              QPoint(100, 208));
    // No room below: a step right from the top of the screen, off the others.
    const QList<QRect> full = {QRect(100, 100, 200, 50), QRect(100, 154, 200, 50),
                               QRect(100, 208, 200, 50)};
    const QPoint wrapped = StackedPopupPosition(wanted, full, screen);
    const QRect placed(wrapped, wanted.size());
    for (const QRect& other : full)
        EXPECT_FALSE(placed.intersects(other));
    EXPECT_NE(placed.topLeft(), wanted.topLeft());
}

TEST_F(PopupTest, TextContrastsWithItsBackgroundUnderADarkTheme) {
    const QPalette saved = QApplication::palette();
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(0x20, 0x20, 0x20));
    dark.setColor(QPalette::WindowText, QColor(0xEE, 0xEE, 0xEE));
    dark.setColor(QPalette::Text, QColor(0xEE, 0xEE, 0xEE));
    dark.setColor(QPalette::Base, QColor(0x20, 0x20, 0x20));
    QApplication::setPalette(dark);
    CallPopup* popup = Start("Anna  0301777");
    CPopupDlg* window = popup->PopupWindow();
    const QImage shot = window->grab().toImage();
    QApplication::setPalette(saved);
    // The text box starts 15 pixels in, 10 down: its background and the darkest text pixel in
    // it must lie far apart in lightness.
    const QFontMetrics metrics(window->font());
    const QRect box(15, 10, metrics.horizontalAdvance(window->Text()), metrics.height());
    const QColor background = shot.pixelColor(box.topLeft() * shot.devicePixelRatio());
    int darkest = 255;
    for (int y = box.top(); y <= box.bottom(); ++y)
        for (int x = box.left(); x <= box.right(); ++x)
            darkest = std::min(darkest, shot.pixelColor(QPoint(x, y) * shot.devicePixelRatio())
                                            .lightness());
    EXPECT_EQ(background, PopupTextBackground());
    EXPECT_GT(background.lightness() - darkest, 120);
    delete popup;
}

TEST_F(PopupTest, SizedToTheTextInTheConfiguredFontAndCentred) {
    std::strcpy(settings.Write()->fontName, "Arial");
    settings.Write()->fontSize = 240;
    const std::string text = "Anna  0301777  ( Office/speech ) ";
    CallPopup* popup = Start(text);
    CPopupDlg* window = popup->PopupWindow();
    // The configured font is asked for; the sizes follow the font the machine really gave.
    EXPECT_EQ(window->font().family(), "Arial");
    EXPECT_EQ(window->font().pointSizeF(), 24.0);
    const QFontMetrics metrics(window->font());
    EXPECT_EQ(window->width(), metrics.horizontalAdvance(QString::fromStdString(text)) + 30);
    EXPECT_EQ(window->height(), metrics.height() + 31);
    // The frame, not only the client area, is centred.
    const QRect desktop = QGuiApplication::primaryScreen()->geometry();
    const QRect frame = window->frameGeometry();
    EXPECT_LE(std::abs(frame.center().x() - desktop.center().x()), 1);
    EXPECT_LE(std::abs(frame.center().y() - desktop.center().y()), 1);

    // A larger font gives a larger window.
    settings.Write()->fontSize = 480;
    CallPopup* bigger = Start(text);
    EXPECT_GT(bigger->PopupWindow()->width(), window->width());
    delete bigger;
    delete popup;
}

TEST(PopupTextTest, EightBitTextsShowInWindows1252) {
    EXPECT_EQ(PopupQString("M\xfcller \x80 \x8a"), QString::fromUtf8("M\u00fcller \u20ac \u0160"));
    EXPECT_EQ(PopupQString(""), QString());
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
