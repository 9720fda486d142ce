#include "OptionsFixture.h"
#include "data/ListFile.h"

#include <fstream>
#include <iterator>
#include <sstream>
#include <unistd.h>

OptionsFixture::OptionsFixture() : context{settings, lists} {
    SetDefaultSettings(*settings.Write());
    char pattern[] = "/tmp/tavo-options-XXXXXX";
    directory = ::mkdtemp(pattern);
    previousDirectory = std::filesystem::current_path();
    // The pages write their files by plain names into the current directory.
    std::filesystem::current_path(directory);
    context.dialogs.showWarning = [this](QWidget*, const QString& text) {
        warnings.push_back(text);
    };
    context.dialogs.editEntry = [this](QWidget*, DirectoryEntry& entry, bool hide) {
        edits.push_back({entry, hide});
        if (editAnswers.empty())
            return false;
        auto answer = std::move(editAnswers.front());
        editAnswers.pop_front();
        return answer(entry);
    };
    context.dialogs.chooseFont = [this](QWidget*, const QFont& initial) -> std::optional<QFont> {
        fontRequests.push_back(initial);
        if (fontAnswers.empty())
            return std::nullopt;
        std::optional<QFont> answer = fontAnswers.front();
        fontAnswers.pop_front();
        return answer;
    };
}

OptionsFixture::~OptionsFixture() {
    sheet.reset();
    std::filesystem::current_path(previousDirectory);
    std::filesystem::remove_all(directory);
}

COption& OptionsFixture::OpenSheet() {
    sheet = std::make_unique<COption>(context);
    sheet->show();
    QApplication::processEvents();
    return *sheet;
}

void OptionsFixture::ShowPage(int index) {
    sheet->findChild<QTabWidget*>(QStringLiteral("IDC_OPTION_TABS"))->setCurrentIndex(index);
    QApplication::processEvents();
}

QWidget* OptionsFixture::ActivePage() const {
    return sheet->findChild<QTabWidget*>(QStringLiteral("IDC_OPTION_TABS"))->currentWidget();
}

void OptionsFixture::Click(const char* objectName) {
    if (auto* button = Find<QAbstractButton>(objectName))
        button->click();
    QApplication::processEvents();
}

void OptionsFixture::PressOk() {
    Click("IDOK");
}
void OptionsFixture::PressCancel() {
    Click("IDCANCEL");
}

void OptionsFixture::Type(const char* objectName, const QString& text) {
    if (auto* box = Find<QLineEdit>(objectName)) {
        box->clear();
        box->insert(text);
    }
}

std::string OptionsFixture::FileBytes(const std::string& name) const {
    std::ifstream in(directory / name, std::ios::binary);
    if (!in)
        return "<missing>";
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void OptionsFixture::WriteDirectory(Directory& target, const std::string& fileName,
                                    const std::vector<std::vector<std::string>>& rows) {
    target.clear();
    for (const auto& row : rows)
        target.append(MakeEntry(row.at(0), row.at(1), row.at(2)));
    ASSERT_TRUE(SaveListFile(target, fileName));
}

DirectoryEntry MakeEntry(const std::string& key, const std::string& value,
                         const std::string& speakText) {
    DirectoryEntry entry;
    entry.key = key;
    entry.value = value;
    entry.speakText = speakText;
    return entry;
}
