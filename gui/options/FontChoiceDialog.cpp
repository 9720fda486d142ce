#include "gui/options/FontChoiceDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFontComboBox>
#include <QFontDatabase>
#include <QFormLayout>
#include <QIntValidator>

#include <cmath>

namespace {

// Whole points, as the settings' font sizes (tenths of a point) allow from 1 to 200.
constexpr int smallestPoints = 1;
constexpr int largestPoints = 200;

} // namespace

FontChoiceDialog::FontChoiceDialog(const QFont& initial, QWidget* parent)
    : QDialog(parent), faceBox(new QFontComboBox(this)), sizeBox(new QComboBox(this)) {
    setObjectName(QStringLiteral("fontChoice"));
    setWindowTitle(tr("font"));
    faceBox->setObjectName(QStringLiteral("fontFace"));
    faceBox->setCurrentFont(initial);
    sizeBox->setObjectName(QStringLiteral("fontSize"));
    sizeBox->setEditable(true);
    sizeBox->setValidator(new QIntValidator(smallestPoints, largestPoints, sizeBox));
    for (int points : QFontDatabase::standardSizes())
        if (points >= smallestPoints && points <= largestPoints)
            sizeBox->addItem(QString::number(points));
    const int initialPoints =
        initial.pointSizeF() > 0 ? int(std::lround(initial.pointSizeF())) : 24;
    sizeBox->setCurrentText(QString::number(initialPoints));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QFormLayout(this);
    layout->addRow(tr("&Face"), faceBox);
    layout->addRow(tr("&Size"), sizeBox);
    layout->addRow(buttons);
}

QFont FontChoiceDialog::Chosen() const {
    QFont font(faceBox->currentFont().family());
    bool ok = false;
    const int points = sizeBox->currentText().toInt(&ok);
    if (ok && points >= smallestPoints && points <= largestPoints)
        font.setPointSize(points);
    return font;
}

std::optional<QFont> ChooseFontFaceAndSize(QWidget* parent, const QFont& initial) {
    FontChoiceDialog dialog(initial, parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.Chosen();
}
