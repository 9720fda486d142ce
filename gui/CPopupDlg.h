#pragma once
// The "incoming call" popup: a small always-on-top window with one line of text in the
// configured font, shown for `displaySeconds` (times the call's repeatCount when
// `popupScaledByCount` is set).

#include "data/CallList.h"
#include "platform/SoundSink.h"
#include "settings/Settings.h"

#include <QDialog>
#include <QColor>
#include <QFont>
#include <QList>
#include <QPointer>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <string>

class QLabel;

// The popup's 8-bit text for display, in Windows-1252 like every text of the files.
QString PopupQString(const std::string& text);

// The font of `fontName` at `fontSize` tenths of a point.
QFont PopupFont(const Settings& settings);

// The window's size for a text of `textSize`: 30 pixels wider, 31 higher (the window manager
// adds its caption above).
QSize PopupClientSize(QSize textSize);

// The text's background and colour: fixed together, so they contrast under any theme.
QColor PopupTextBackground();
QColor PopupTextColour();

// Where a popup that would lie at `wanted` goes so that it covers none of the `others` (the
// outer rectangles of the popups that are up): below the lowest one it would cover, and past
// the foot of `screen` again from its top, a step to the right.
QPoint StackedPopupPosition(QRect wanted, const QList<QRect>& others, const QRect& screen);

// It never takes the keyboard focus nor becomes the active window.
class CPopupDlg : public QDialog {
    Q_OBJECT
public:
    CPopupDlg(CallRecord& callEntry, const GuardedSettings& settings, SoundSink& sound);
    ~CPopupDlg() override;

    // The window's start: the sound, then the tick count; returns the timer's period in
    // seconds.
    int InitDialog();
    // Puts the text into the text holder and sizes the window to it in the popup font, then
    // centres it on the screen, below the popups that are up already.
    void FitToText(const QString& text);
    // One timer tick: true when the popup is done.
    bool OnTimer();

    int TickCount() const { return tickCount; }
    QString Text() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    CallRecord& callEntry;
    const GuardedSettings& settings;
    SoundSink& sound;
    int tickCount = 0;
    QLabel* textHolder;
    QPointer<QWidget> typingWindow; // the active window when the popup came
};
