#include "gui/CPopupDlg.h"

#include "gui/Cp1252Text.h"
#include "gui/ResourceIds.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QScreen>

namespace {

// Settings are changed by the options sheet on the GUI thread and read by other threads under
// their lock; the popup reads them through a view too.
template <typename Read> auto ReadSettings(const GuardedSettings& settings, Read read) {
    return read(*settings.Read());
}

// The background of the text, the light grey of a classic scroll bar.
const QColor TextBackground(0xD4, 0xD0, 0xC8);

} // namespace

QString PopupQString(const std::string& text) {
    return FromCp1252(text);
}

QFont PopupFont(const Settings& s) {
    size_t length = 0;
    while (length < sizeof s.fontName && s.fontName[length] != '\0')
        ++length;
    const std::string name(s.fontName, length);
    const int32_t size = s.fontSize;
    QFont font(PopupQString(name));
    if (size > 0)
        font.setPointSizeF(size / 10.0);
    return font;
}

QSize PopupClientSize(QSize textSize) {
    return QSize(textSize.width() + 30, textSize.height() + 31);
}

CPopupDlg::CPopupDlg(CallRecord& entry, const GuardedSettings& givenSettings, SoundSink& givenSound)
    : QDialog(nullptr, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint),
      callEntry(entry), settings(givenSettings), sound(givenSound), textHolder(new QLabel(this)) {
    setObjectName(Ids::PopupDialog.objectName);
    setWindowTitle(QStringLiteral("incoming call"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    // The text holder only carries the text; the window paints it itself.
    textHolder->setObjectName(Ids::PopupText.objectName);
    textHolder->setGeometry(5, 15, 85, 13);
    textHolder->hide();
}

int CPopupDlg::InitDialog() {
    const auto [playSound, displaySeconds] = ReadSettings(settings, [](const Settings& s) {
        return std::pair{s.playSound, s.displaySeconds};
    });
    if (playSound)
        sound.PlayRingIn();
    tickCount = 1;
    return displaySeconds;
}

QString CPopupDlg::Text() const {
    return textHolder->text();
}

void CPopupDlg::FitToText(const QString& text) {
    textHolder->setText(text);
    setFont(PopupFont(settings.Copy()));
    const QFontMetrics metrics(font());
    const QSize textSize(metrics.horizontalAdvance(Text()), metrics.height());
    setFixedSize(PopupClientSize(textSize));
    // The frame is known only once the window exists; centre the frame, not the client area.
    winId();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect desktop = screen->geometry();
        const QSize outer = frameGeometry().size().expandedTo(size());
        move(desktop.center() - QPoint(outer.width() / 2, outer.height() / 2));
    }
}

bool CPopupDlg::OnTimer() {
    const bool scaled =
        ReadSettings(settings, [](const Settings& s) { return s.popupScaledByCount != 0; });
    bool done = true;
    if (scaled) {
        // Repeated notices of the call raise its count while the popup is up, and so lengthen
        // it by one period each.
        done = tickCount >= callEntry.repeatCount;
        ++tickCount;
    }
    return done;
}

void CPopupDlg::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QFontMetrics metrics(font());
    const QString text = Text();
    const QRect box(15, 10, metrics.horizontalAdvance(text), metrics.height());
    painter.fillRect(box, TextBackground);
    painter.drawText(QPoint(15, 10 + metrics.ascent()), text);
}
