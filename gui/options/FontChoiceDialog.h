#pragma once
// The popup font's dialog: a face and a size in points, the two things the settings keep.

#include <QDialog>
#include <QFont>

#include <optional>

class QComboBox;
class QFontComboBox;

class FontChoiceDialog : public QDialog {
    Q_OBJECT
public:
    FontChoiceDialog(const QFont& initial, QWidget* parent = nullptr);

    // The face and size chosen, nothing else of the initial font.
    QFont Chosen() const;

    QFontComboBox* FaceBox() const { return faceBox; }
    QComboBox* SizeBox() const { return sizeBox; }

private:
    QFontComboBox* faceBox;
    QComboBox* sizeBox;
};

// Runs the dialog; the chosen font, or absent when it was cancelled.
std::optional<QFont> ChooseFontFaceAndSize(QWidget* parent, const QFont& initial);
