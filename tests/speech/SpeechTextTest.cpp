#include "speech/SpeechText.h"

#include <gtest/gtest.h>

TEST(SpeechText, PauseTagBecomesBreakOfItsLength) {
    EXPECT_EQ(SpeechTextToSsml("0 1 2 \\Pau=500\\3 4 "), "0 1 2 <break time=\"500ms\"/>3 4 ");
    EXPECT_EQ(SpeechTextToSsml("\\pau=20\\a\\PAU=0\\"),
              "<break time=\"20ms\"/>a<break time=\"0ms\"/>");
}

TEST(SpeechText, MarkupCharactersAreSpokenAsText) {
    EXPECT_EQ(SpeechTextToSsml("Tom & Jerry's <b>\"x\"</b>"),
              "Tom &amp; Jerry&apos;s &lt;b&gt;&quot;x&quot;&lt;/b&gt;");
    // An attempt to smuggle markup in through a name stays text.
    EXPECT_EQ(SpeechTextToSsml("<break time=\"9s\"/>"), "&lt;break time=&quot;9s&quot;/&gt;");
}

TEST(SpeechText, IncompleteOrForeignTagsStayText) {
    EXPECT_EQ(SpeechTextToSsml("a\\b"), "a\\b");
    EXPECT_EQ(SpeechTextToSsml("\\Pau=\\"), "\\Pau=\\");
    EXPECT_EQ(SpeechTextToSsml("\\Pau=500"), "\\Pau=500");
    EXPECT_EQ(SpeechTextToSsml("\\Pau=5x\\"), "\\Pau=5x\\");
    EXPECT_EQ(SpeechTextToSsml("\\Vol=100\\hi"), "\\Vol=100\\hi");
    EXPECT_EQ(SpeechTextToSsml("\\"), "\\");
    // The backslash that ends a broken tag can still start a good one.
    EXPECT_EQ(SpeechTextToSsml("\\Pau=x\\Pau=5\\"), "\\Pau=x<break time=\"5ms\"/>");
}

TEST(SpeechText, HugePausesAreCut) {
    EXPECT_EQ(SpeechTextToSsml("\\Pau=99999999999999999999\\"),
              "<break time=\"" + std::to_string(MaxPauseMilliseconds) + "ms\"/>");
}

TEST(SpeechText, ZeroBytesDoNotCutTheText) {
    EXPECT_EQ(SpeechTextToSsml(std::string("a\0b", 3)), "a b");
    EXPECT_EQ(SpeechTextToSsml(""), "");
}
