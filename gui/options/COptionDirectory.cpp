#include "gui/options/COptionDirectory.h"

#include "gui/CEditDataDlg.h"
#include "gui/CListViewEx.h"
#include "gui/ResourceIds.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <vector>

namespace {

QString ShownText(const OptText& text) {
    return FromRecordText(TextOf(text));
}

// Sorted as a reader expects: capitals and small letters alike.
class DirectoryRow : public QTreeWidgetItem {
public:
    using QTreeWidgetItem::QTreeWidgetItem;
    bool operator<(const QTreeWidgetItem& other) const override {
        const int column = treeWidget() ? treeWidget()->sortColumn() : 0;
        return text(column).compare(other.text(column), Qt::CaseInsensitive) < 0;
    }
};

} // namespace

COptionDirectory::COptionDirectory(OptionsContext& context, const Kind& kind,
                                   Directory SharedLists::*shared,
                                   const std::string& fileName)
    : COptionPage(context, kind.title, kind.objectName), kind(kind), shared(shared),
      fileName(fileName) {
    entries.assign((*context.lists.Read()).*shared);
}

void COptionDirectory::OnInitDialog() {
    filter = MakeEdit("IDC_FILTER");
    filter->setPlaceholderText(tr("number, name or speak text"));
    filter->setClearButtonEnabled(true);
    QLabel* filterLabel = MakeLabel(tr("&filter"), filter);

    list = new CListViewEx(this);
    list->setObjectName(QString::fromLatin1(kind.listName));
    list->setAccessibleName(Title());
    // The first column is declared right-aligned; the list draws it from the left all the same.
    list->InsertColumn(0, QCoreApplication::translate("COptionPage", kind.numberHeading),
                       Qt::AlignRight, 135);
    list->InsertColumn(1, tr("name"), Qt::AlignLeft, 150);
    list->InsertColumn(2, tr("speak text"), Qt::AlignLeft, 130);
    list->SetFullRowSelect(true);
    // Sorted by number until a heading is clicked.
    list->sortByColumn(0, Qt::AscendingOrder);
    list->setSortingEnabled(true);
    connect(list, &QTreeWidget::itemDoubleClicked, this, [this] { OnChange(); });
    list->installEventFilter(this);
    connect(filter, &QLineEdit::textChanged, this, [this] { ApplyFilter(); });

    QPushButton* add = MakeButton(tr("&Add"), Ids::OptAdd.objectName);
    QPushButton* change = MakeButton(tr("C&hange"), Ids::OptChange.objectName);
    QPushButton* remove = MakeButton(tr("&Delete"), Ids::OptDelete.objectName);
    connect(add, &QPushButton::clicked, this, [this] { OnAdd(); });
    connect(change, &QPushButton::clicked, this, [this] { OnChange(); });
    connect(remove, &QPushButton::clicked, this, [this] { OnDelete(); });

    auto* filterRow = new QHBoxLayout;
    filterRow->addWidget(filterLabel);
    filterRow->addWidget(filter, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(add);
    buttons->addWidget(change);
    buttons->addWidget(remove);
    buttons->addStretch(1);
    if (importEnabled) {
        QPushButton* import = MakeButton(tr("&import..."), "IDC_IMPORT");
        connect(import, &QPushButton::clicked, this, [this] { OnImport(); });
        buttons->addWidget(import);
    }
    auto* page = new QVBoxLayout(this);
    page->addLayout(filterRow);
    page->addWidget(list, 1);
    page->addLayout(buttons);
    FillList();
}

bool COptionDirectory::eventFilter(QObject* watched, QEvent* event) {
    // Delete on the list removes the selected entry, as the button does.
    if (watched == list && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->matches(QKeySequence::Delete)) {
        OnDelete();
        return true;
    }
    return COptionPage::eventFilter(watched, event);
}

void COptionDirectory::FillList() {
    // Rows are filled in the directory's order and sorted by the list, whose sort keeps that
    // order among equal texts.
    list->setSortingEnabled(false);
    list->clear();
    for (DirectoryEntry& entry : entries) {
        auto* row = new DirectoryRow(list);
        row->setText(0, ShownText(entry.key));
        row->setText(1, ShownText(entry.value));
        row->setText(2, ShownText(entry.speakText));
        row->setData(0, Qt::UserRole, QVariant::fromValue(static_cast<void*>(&entry)));
    }
    list->setSortingEnabled(true);
    ApplyFilter();
}

void COptionDirectory::ApplyFilter() {
    const QString wanted = filter->text().trimmed();
    for (int index = 0; index < list->topLevelItemCount(); ++index) {
        QTreeWidgetItem* row = list->topLevelItem(index);
        bool shown = wanted.isEmpty();
        for (int column = 0; column < 3 && !shown; ++column)
            shown = row->text(column).contains(wanted, Qt::CaseInsensitive);
        row->setHidden(!shown);
        if (!shown)
            row->setSelected(false);
    }
}

DirectoryEntry* COptionDirectory::SelectedEntry() const {
    const QList<QTreeWidgetItem*> selected = list->selectedItems();
    if (selected.isEmpty() || selected.first()->isHidden())
        return nullptr;
    return static_cast<DirectoryEntry*>(selected.first()->data(0, Qt::UserRole).value<void*>());
}

void COptionDirectory::OnAdd() {
    if (!context.dialogs.editEntry)
        return;
    DirectoryEntry entry;
    if (!context.dialogs.editEntry(this, entry, kind.hideSpeakOnAdd))
        return;
    // A new MSN is announced by its name until a speak text is given.
    if (kind.hideSpeakOnAdd && TextOf(entry.speakText).empty())
        entry.speakText = entry.value;
    entries.append(std::move(entry));
    FillList();
}

void COptionDirectory::OnChange() {
    DirectoryEntry* entry = SelectedEntry();
    if (entry == nullptr || !context.dialogs.editEntry)
        return;
    if (context.dialogs.editEntry(this, *entry, false))
        FillList();
}

void COptionDirectory::OnDelete() {
    DirectoryEntry* entry = SelectedEntry();
    if (entry == nullptr)
        return;
    entries.remove(entry);
    FillList();
}

void COptionDirectory::EnableImport() {
    importEnabled = true;
}

void COptionDirectory::OnImport() {
    // Added to the page's copy like entries made by hand: "names.dat" is written on OK.
    if (RunPhoneBookImport(this, entries, importDialogs) > 0)
        FillList();
}

void COptionDirectory::OnOK() {
    ((*context.lists.Write()).*shared).assign(entries);
    // The user pressed OK believing the entries kept; a file that could not be written must
    // not pass in silence.
    SaveDirectoryOrTell(entries, fileName);
}
