#include "gui/options/COptionDirectory.h"

#include "data/ListFile.h"
#include "gui/CListViewEx.h"
#include "gui/ResourceIds.h"
#include "platform/ShowMessage.h"

#include <QHeaderView>
#include <QPushButton>

#include <algorithm>
#include <vector>

namespace {

QString ShownText(const OptText& text) {
    return FromRecordText(TextOf(text));
}

} // namespace

COptionDirectory::COptionDirectory(OptionsContext& context, const Kind& kind,
                                   Directory SharedLists::*shared,
                                   const std::string& fileName)
    : COptionPage(context, kind.title, kind.objectName), kind(kind), shared(shared),
      fileName(fileName) {
    entries.assign((*context.lists.Read()).*shared);
}

void COptionDirectory::OnInitDialog() {
    list = new CListViewEx(this);
    list->setObjectName(QString::fromLatin1(kind.listName));
    list->setGeometry(Place(7, 7, 256, 146));
    // The first column is declared right-aligned; the list draws it from the left all the same.
    list->InsertColumn(0, QString::fromLatin1(kind.numberHeading), Qt::AlignRight, 135);
    list->InsertColumn(1, "name", Qt::AlignLeft, 150);
    list->InsertColumn(2, "speak text", Qt::AlignLeft, 130);
    list->SetFullRowSelect(true);
    list->header()->setSectionsClickable(false); // the rows keep their order by number

    QPushButton* add = AddButton("Add", Ids::OptAdd.objectName, 7, 159, 50, 14);
    QPushButton* change = AddButton("Change", Ids::OptChange.objectName, 62, 159, 50, 14);
    QPushButton* remove = AddButton("Delete", Ids::OptDelete.objectName, 117, 159, 50, 14);
    connect(add, &QPushButton::clicked, this, [this] { OnAdd(); });
    connect(change, &QPushButton::clicked, this, [this] { OnChange(); });
    connect(remove, &QPushButton::clicked, this, [this] { OnDelete(); });
    if (importEnabled) {
        QPushButton* import = AddButton("import...", "IDC_IMPORT", 203, 159, 60, 14);
        connect(import, &QPushButton::clicked, this, [this] { OnImport(); });
    }
    FillList();
}

void COptionDirectory::FillList() {
    list->clear();
    // Rows are ordered by the number text whatever the order of the entries; equal numbers keep
    // the order of the directory.
    std::vector<DirectoryEntry*> rows;
    for (DirectoryEntry& entry : entries)
        rows.push_back(&entry);
    std::stable_sort(
        rows.begin(), rows.end(), [](const DirectoryEntry* a, const DirectoryEntry* b) {
            return ShownText(a->key).compare(ShownText(b->key), Qt::CaseInsensitive) < 0;
        });
    for (DirectoryEntry* entry : rows) {
        auto* row = new QTreeWidgetItem(list);
        row->setText(0, ShownText(entry->key));
        row->setText(1, ShownText(entry->value));
        row->setText(2, ShownText(entry->speakText));
        row->setData(0, Qt::UserRole, QVariant::fromValue(quintptr(entry)));
    }
}

DirectoryEntry* COptionDirectory::SelectedEntry() const {
    const QList<QTreeWidgetItem*> selected = list->selectedItems();
    if (selected.isEmpty())
        return nullptr;
    return reinterpret_cast<DirectoryEntry*>(
        selected.first()->data(0, Qt::UserRole).value<quintptr>());
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
    if (!SaveListFile(entries, fileName))
        ShowMessage("Unable to save " + fileName);
}
