#pragma once
// "area codes...": a first area-code table for the user's country, written to "areacode.lst"
// only after the user agrees (twice when it replaces a table of theirs) and loaded at once.

#include <QString>

#include <functional>
#include <string>

class MonitorCore;
class QWidget;

struct AreaCodeQuestions {
    // A yes/no question; true for yes.
    std::function<bool(QWidget* parent, const QString& text)> ask;
    std::function<void(QWidget* parent, const QString& text)> tell;
};

AreaCodeQuestions StandardAreaCodeQuestions();

// Returns true when a new table was written and loaded. `fileName` is in the data directory.
bool OfferAreaCodes(QWidget* parent, MonitorCore& core, const AreaCodeQuestions& questions,
                    const std::string& fileName = "areacode.lst");
