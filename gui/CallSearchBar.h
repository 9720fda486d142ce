#pragma once
// The search field above the day tabs: typing searches the whole history by number, name or
// place on a worker thread over a snapshot of the lists, so a long history never freezes the
// window; Esc empties the field and brings the day view back.

#include "core/HistorySearch.h"

#include <QLineEdit>
#include <QStringList>
#include <QThreadPool>

#include <atomic>
#include <memory>

class MonitorCore;
class QTimer;

class CallSearchBar : public QLineEdit {
    Q_OBJECT
public:
    static constexpr size_t RowLimit = 2000; // rows shown; the count says how many matched

    CallSearchBar(MonitorCore& core, QWidget* parent);
    ~CallSearchBar() override;

    bool Active() const { return !text().trimmed().isEmpty(); }
    // The history changed (a call came in): search again over a fresh snapshot.
    void Refresh();

signals:
    // A search over `query` has started; its results follow unless the text changes first.
    void Searching(const QString& query);
    // `places` holds the place of each row's caller (empty where none is known): what a call
    // found by its place matched.
    void ResultsReady(const SearchResult& result, const QStringList& places, const QString& query);
    void Cleared();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void StartSearch();

    MonitorCore& core;
    QTimer* delay = nullptr;
    QThreadPool pool;
    std::shared_ptr<const HistorySnapshot> snapshot;
    std::shared_ptr<std::atomic<bool>> cancelRunning;
    quint64 generation = 0;
};
