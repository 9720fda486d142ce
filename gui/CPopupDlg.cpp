#include "gui/CPopupDlg.h"

#include "gui/Cp1252Text.h"
#include "gui/ResourceIds.h"

#include <QApplication>
#include <QEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QScreen>

namespace {

// Settings are changed by the options sheet on the GUI thread and read by other threads under
// their lock; the popup reads them through a view too.
template <typename Read> auto ReadSettings(const GuardedSettings& settings, Read read) {
    return read(*settings.Read());
}

// The background of the text, the light grey of a classic scroll bar, and the text's black on
// it: both fixed, so a dark desktop theme (light text) cannot put its text on this light grey.
const QColor TextBackground(0xD4, 0xD0, 0xC8);
const QColor TextColour(Qt::black);

// Popups that are up, in the order they were shown; a new one is stacked below them.
QList<QPointer<CPopupDlg>>& ShownPopups() {
    static QList<QPointer<CPopupDlg>> shown;
    return shown;
}

} // namespace

QColor PopupTextBackground() {
    return TextBackground;
}

QColor PopupTextColour() {
    return TextColour;
}

QPoint StackedPopupPosition(QRect wanted, const QList<QRect>& others, const QRect& screen) {
    constexpr int gap = 4;
    // Each pass moves the popup below one it would cover; the first place that covers none
    // wins. Past the screen's foot the stack starts again at its top, a step to the right, so
    // that even many popups never lie exactly on one another.
    QRect place = wanted;
    int column = 0;
    for (int pass = 0; pass <= others.size() * 2 + 2; ++pass) {
        const QRect* covered = nullptr;
        for (const QRect& other : others)
            if (other.intersects(place) && (covered == nullptr || other.bottom() > covered->bottom()))
                covered = &other;
        if (covered == nullptr)
            return place.topLeft();
        place.moveTop(covered->bottom() + 1 + gap);
        if (screen.isValid() && place.bottom() > screen.bottom()) {
            ++column;
            place.moveTopLeft(QPoint(wanted.left() + column * 24, screen.top() + column * 24));
        }
    }
    return place.topLeft();
}

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
    // A tool window that never takes the keyboard: whatever the user types goes on into the
    // window it was going to, however many calls come in meanwhile.
    : QDialog(nullptr, Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                           Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus),
      callEntry(entry), settings(givenSettings), sound(givenSound), textHolder(new QLabel(this)) {
    setObjectName(Ids::PopupDialog.objectName);
    setWindowTitle(tr("incoming call"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    ShownPopups().append(this);
    if (!qobject_cast<CPopupDlg*>(QApplication::activeWindow()))
        typingWindow = QApplication::activeWindow();
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
        QRect wanted(desktop.center() - QPoint(outer.width() / 2, outer.height() / 2), outer);
        QList<QRect> others;
        for (const QPointer<CPopupDlg>& other : ShownPopups())
            if (other && other != this && other->isVisible())
                others.append(other->frameGeometry().united(other->geometry()));
        // The frame's offset from the client area stays as it is when the popup moves.
        move(StackedPopupPosition(wanted, others, desktop));
    }
}

void CPopupDlg::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    // Some window managers (and Qt's offscreen platform) activate every new window whatever
    // its hints say: the activation goes straight back to the window the user was typing in.
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && typingWindow &&
        typingWindow->isVisible())
        typingWindow->activateWindow();
}

CPopupDlg::~CPopupDlg() {
    ShownPopups().removeAll(QPointer<CPopupDlg>(this));
    ShownPopups().removeAll(QPointer<CPopupDlg>());
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
    painter.setPen(TextColour);
    painter.drawText(QPoint(15, 10 + metrics.ascent()), text);
}
