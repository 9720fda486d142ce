#include "gui/CallSearchBar.h"

#include "gui/Cp1252Text.h"

#include "core/MonitorCore.h"

#include <QKeyEvent>
#include <QTimer>

#include <string>
#include <vector>

CallSearchBar::CallSearchBar(MonitorCore& core, QWidget* parent) : QLineEdit(parent), core(core) {
    setObjectName(QStringLiteral("IDC_SEARCH"));
    setPlaceholderText(tr("search all calls by number, name or place"));
    setClearButtonEnabled(true);
    pool.setMaxThreadCount(1);
    delay = new QTimer(this);
    delay->setSingleShot(true);
    delay->setInterval(150); // one search per pause in typing
    connect(delay, &QTimer::timeout, this, &CallSearchBar::StartSearch);
    connect(this, &QLineEdit::textChanged, this, [this] {
        if (cancelRunning)
            cancelRunning->store(true);
        if (!Active()) {
            delay->stop();
            snapshot.reset();
            ++generation;
            emit Cleared();
            return;
        }
        delay->start();
    });
}

CallSearchBar::~CallSearchBar() {
    if (cancelRunning)
        cancelRunning->store(true);
    pool.waitForDone();
}

void CallSearchBar::Refresh() {
    snapshot.reset();
    if (Active())
        StartSearch();
}

void CallSearchBar::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        clear();
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void CallSearchBar::StartSearch() {
    if (!Active())
        return;
    if (!snapshot) {
        // One copy for all the keystrokes of a search; a new call makes a new one.
        const auto lists = core.lists.Read();
        snapshot = TakeHistorySnapshot(lists->callList, lists->msnList, lists->phoneBook,
                                       lists->areaCodes);
    }
    if (cancelRunning)
        cancelRunning->store(true);
    auto cancel = std::make_shared<std::atomic<bool>>(false);
    cancelRunning = cancel;
    const quint64 mine = ++generation;
    const QString query = text().trimmed();
    emit Searching(query);
    pool.start([this, cancel, mine, query, snap = snapshot] {
        SearchResult result = SearchHistory(*snap, ToCp1252(query), RowLimit, cancel.get());
        if (result.cancelled)
            return;
        std::vector<std::string> places;
        places.reserve(result.rows.size());
        for (const SearchRow& row : result.rows) {
            const CallRecord& call = snap->calls[row.index];
            const AreaCodeEntry* area =
                call.value ? snap->areaCodes.FindAreaCode(std::string(call.value.view())) : nullptr;
            places.push_back(area != nullptr ? area->placeName : std::string());
        }
        QMetaObject::invokeMethod(this, [this, mine, query, result = std::move(result),
                                         places = std::move(places)] {
            if (mine != generation)
                return;
            QStringList shown;
            shown.reserve(qsizetype(places.size()));
            for (const std::string& place : places)
                shown << FromCp1252(place);
            emit ResultsReady(result, shown, query);
        });
    });
}
