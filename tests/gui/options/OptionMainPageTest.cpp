// The "main" page: check boxes, the display time check, the speak texts and the font choice.
#include "OptionsFixture.h"

#include <QCheckBox>
#include <QLabel>

#include <cstring>

namespace {

bool SameBytes(const Settings& a, const Settings& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

} // namespace

class MainPage : public OptionsFixture {};

TEST_F(MainPage, ShowsTheSettingsItWasOpenedWith) {
    settings.Write()->startMinimized = 1;
    settings.Write()->systemBeep = 0;
    OpenSheet();
    EXPECT_TRUE(Find<QCheckBox>("IDC_START_MINIMIZED")->isChecked());
    EXPECT_TRUE(Find<QCheckBox>("IDC_HIDE_WHEN_MINIMIZED")->isChecked());
    EXPECT_FALSE(Find<QCheckBox>("IDC_SYSTEM_BEEP")->isChecked());
    EXPECT_FALSE(Find<QCheckBox>("IDC_ONLY_NAMED_MSNS")->isChecked());
    EXPECT_EQ(Find<QLineEdit>("IDC_DISPLAY_SECONDS")->text(), "5");
    EXPECT_EQ(Find<QLineEdit>("IDC_SPEAK_TEMPLATE")->text(), "Incoming call on %to% from %from%");
    EXPECT_EQ(Find<QLineEdit>("IDC_UNKNOWN_SPEAK_TEXT")->text(), "unknown");
    EXPECT_EQ(Find<QLabel>("IDC_FONT_LABEL")->text(), "24.Arial");
}

TEST_F(MainPage, DisplayTimeOfElevenKeepsTheSheetOpenOnTheBox) {
    const Settings before = settings.Copy();
    OpenSheet();
    Type("IDC_DISPLAY_SECONDS", "11");
    Find<QCheckBox>("IDC_SYSTEM_BEEP")->click();
    PressOk();
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_EQ(warnings[0], "Please enter an integer between 0 and 10.");
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_EQ(sheet->result(), 0);
    EXPECT_EQ(sheet->focusWidget(), Find<QLineEdit>("IDC_DISPLAY_SECONDS"));
    EXPECT_TRUE(SameBytes(settings.Copy(), before)) << "nothing is stored while a value is refused";

    // Corrected, the same OK goes through.
    Type("IDC_DISPLAY_SECONDS", "10");
    PressOk();
    EXPECT_TRUE(SheetAccepted());
    EXPECT_EQ(settings.Read()->displaySeconds, 10);
    EXPECT_EQ(settings.Read()->systemBeep, 0);
}

TEST_F(MainPage, TextThatIsNoNumberIsRefusedAndZeroAccepted) {
    OpenSheet();
    Type("IDC_DISPLAY_SECONDS", "abc");
    PressOk();
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_EQ(warnings[0], "Please enter an integer.");
    EXPECT_FALSE(SheetAccepted());

    Type("IDC_DISPLAY_SECONDS", "0");
    PressOk();
    EXPECT_EQ(warnings.size(), 1u);
    EXPECT_TRUE(SheetAccepted());
    EXPECT_EQ(settings.Read()->displaySeconds, 0);
}

TEST_F(MainPage, RefusedValueKeepsThePageOnTop) {
    OpenSheet();
    Type("IDC_DISPLAY_SECONDS", "12");
    ShowPage(4);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_EQ(sheet->findChild<QTabWidget*>("IDC_OPTION_TABS")->currentIndex(), 0);
    EXPECT_FALSE(sheet->Page(4)->WasShown());
}

TEST_F(MainPage, OkStoresEveryBoxAndCutsNothingThatFits) {
    OpenSheet();
    Find<QCheckBox>("IDC_START_MINIMIZED")->click();
    Find<QCheckBox>("IDC_HIDE_WHEN_MINIMIZED")->click();
    Find<QCheckBox>("IDC_SYSTEM_BEEP")->click();
    Find<QCheckBox>("IDC_PLAY_SOUND")->click();
    Find<QCheckBox>("IDC_SPEAK")->click();
    Find<QCheckBox>("IDC_ONLY_NAMED_MSNS")->click();
    Type("IDC_DISPLAY_SECONDS", "3");
    Type("IDC_SPEAK_TEMPLATE", "Call from %from%");
    Type("IDC_UNKNOWN_SPEAK_TEXT", "somebody");
    PressOk();
    ASSERT_TRUE(SheetAccepted());
    EXPECT_EQ(settings.Read()->startMinimized, 1);
    EXPECT_EQ(settings.Read()->hideWhenMinimized, 0);
    EXPECT_EQ(settings.Read()->systemBeep, 0);
    EXPECT_EQ(settings.Read()->playSound, 0);
    EXPECT_EQ(settings.Read()->speak, 0);
    EXPECT_EQ(settings.Read()->onlyNamedMsns, 1);
    EXPECT_EQ(settings.Read()->displaySeconds, 3);
    EXPECT_STREQ(settings.Read()->speakTemplate, "Call from %from%");
    EXPECT_STREQ(settings.Read()->unknownSpeakText, "somebody");
    EXPECT_EQ(settings.Read()->popupScaledByCount, 1) << "no page edits it";
}

TEST_F(MainPage, SpeakTextsNeverExceedTheirFields) {
    OpenSheet();
    Type("IDC_SPEAK_TEMPLATE", QString(200, 'a'));
    Type("IDC_UNKNOWN_SPEAK_TEXT", QString(50, 'b'));
    PressOk();
    ASSERT_TRUE(SheetAccepted());
    EXPECT_EQ(std::string(settings.Read()->speakTemplate), std::string(127, 'a'));
    EXPECT_EQ(std::string(settings.Read()->unknownSpeakText), std::string(31, 'b'));
}

TEST_F(MainPage, ChosenFontIsShownStoredAndTheStartOfTheNextChoice) {
    OpenSheet();
    QFont courier(QStringLiteral("Courier"));
    courier.setPointSize(10);
    fontAnswers.push_back(courier);
    fontAnswers.push_back(std::nullopt); // the second press is cancelled
    Click("IDC_FONT_SELECT");
    EXPECT_EQ(Find<QLabel>("IDC_FONT_LABEL")->text(), "10.Courier");
    Click("IDC_FONT_SELECT");
    ASSERT_EQ(fontRequests.size(), 2u);
    EXPECT_EQ(fontRequests[0].family(), "Arial");
    EXPECT_DOUBLE_EQ(fontRequests[0].pointSizeF(), 24.0);
    EXPECT_EQ(fontRequests[1].family(), "Courier");
    EXPECT_DOUBLE_EQ(fontRequests[1].pointSizeF(), 10.0);
    EXPECT_EQ(Find<QLabel>("IDC_FONT_LABEL")->text(), "10.Courier");
    PressOk();
    EXPECT_EQ(settings.Read()->fontSize, 100);
    EXPECT_STREQ(settings.Read()->fontName, "Courier");
}

TEST_F(MainPage, CancelLeavesTheRecordAsItWas) {
    const Settings before = settings.Copy();
    OpenSheet();
    Find<QCheckBox>("IDC_SPEAK")->click();
    Type("IDC_DISPLAY_SECONDS", "2");
    QFont other(QStringLiteral("Courier"));
    other.setPointSize(12);
    fontAnswers.push_back(other);
    Click("IDC_FONT_SELECT");
    PressCancel();
    EXPECT_FALSE(SheetAccepted());
    EXPECT_TRUE(SameBytes(settings.Copy(), before));
}

TEST_F(MainPage, SpeakTextsAreWindows1252BothWays) {
    std::strcpy(settings.Write()->unknownSpeakText, "Gr\xfc\xdf \x80");
    OpenSheet();
    auto* unknown = Find<QLineEdit>("IDC_UNKNOWN_SPEAK_TEXT");
    EXPECT_EQ(unknown->text(), QString::fromUtf8("Gr\u00fc\u00df \u20ac"));
    // Pasted with a character the record cannot hold: refused, the box keeps its text.
    auto* speak = Find<QLineEdit>("IDC_SPEAK_TEMPLATE");
    speak->selectAll();
    speak->insert(QString::fromUtf8("Anruf \u2192 %to%"));
    EXPECT_EQ(speak->text(), "Incoming call on %to% from %from%");
    unknown->setText(QString::fromUtf8("\u0160imon \u20ac"));
    PressOk();
    ASSERT_TRUE(SheetAccepted());
    EXPECT_STREQ(settings.Read()->unknownSpeakText, "\x8aimon \x80");
    EXPECT_STREQ(settings.Read()->speakTemplate, "Incoming call on %to% from %from%");
}
