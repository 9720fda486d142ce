#include "gui/options/FontChoiceDialog.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QFontComboBox>
#include <QFontDatabase>
#include <QGroupBox>

TEST(FontChoiceDialog, OffersFaceAndSizeOnly) {
    QFont initial(QFontDatabase::families().value(0));
    initial.setPointSizeF(24.0);
    initial.setBold(true);
    initial.setUnderline(true);
    FontChoiceDialog dialog(initial);
    // No style, effects or writing system: two boxes and nothing to tick.
    EXPECT_EQ(dialog.findChildren<QComboBox*>().size(), 2);
    EXPECT_TRUE(dialog.findChildren<QCheckBox*>().isEmpty());
    EXPECT_TRUE(dialog.findChildren<QGroupBox*>().isEmpty());
    EXPECT_EQ(dialog.SizeBox()->currentText(), "24");

    dialog.SizeBox()->setCurrentText("36");
    const QFont chosen = dialog.Chosen();
    EXPECT_EQ(chosen.family(), dialog.FaceBox()->currentFont().family());
    EXPECT_EQ(chosen.pointSizeF(), 36.0);
    EXPECT_FALSE(chosen.bold());
    EXPECT_FALSE(chosen.underline());
}
