#include "gui/options/COptionRules.h"

#include "core/CallRules.h"
#include "core/CallScreening.h"
#include "core/RulesCommand.h"
#include "gui/options/COptionIds.h"
#include "platform/FileBytes.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QVBoxLayout>

#include <filesystem>

namespace {
constexpr int FaultLineRole = Qt::UserRole;
}

COptionRules::COptionRules(OptionsContext& context)
    : COptionPage(context, QT_TRANSLATE_NOOP("COptionPage", "rules"), OptionIds::RulesPage) {}

void COptionRules::OnInitDialog() {
    rulesBox = new QPlainTextEdit(this);
    rulesBox->setObjectName(QString::fromLatin1(OptionIds::RulesText));
    rulesBox->setLineWrapMode(QPlainTextEdit::NoWrap);
    // Tab moves on to the next control, as everywhere in the sheet; blanks separate the words.
    rulesBox->setTabChangesFocus(true);
    rulesBox->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    rulesBox->setMinimumHeight(rulesBox->fontMetrics().lineSpacing() * 8);
    faultsBox = new QListWidget(this);
    faultsBox->setObjectName(QString::fromLatin1(OptionIds::RulesFaults));
    faultsBox->setMaximumHeight(faultsBox->fontMetrics().lineSpacing() * 4 +
                                2 * faultsBox->frameWidth() + 4);
    checkButton = MakeButton(tr("&check"), OptionIds::RulesCheck);
    stateLabel = MakeLabel(QString());
    stateLabel->setObjectName(QString::fromLatin1(OptionIds::RulesState));
    QLabel* hint = MakeLabel(
        tr("One rule a line: announce, quiet or reject, then its conditions,\n"
           "e.g. known, withheld, number=0900*, time=22:00-07:00, days=sat,sun.\n"
           "The first rule whose conditions all hold decides."));

    auto* checkRow = new QHBoxLayout;
    checkRow->addWidget(checkButton);
    checkRow->addWidget(stateLabel, 1);
    auto* page = new QVBoxLayout(this);
    page->addWidget(MakeLabel(tr("&rules of %1").arg(QString::fromStdString(context.rulesFile)),
                              rulesBox));
    page->addWidget(rulesBox, 1);
    page->addWidget(hint);
    page->addLayout(checkRow);
    page->addWidget(MakeLabel(tr("&faults"), faultsBox));
    page->addWidget(faultsBox);

    connect(checkButton, &QPushButton::clicked, this, [this] { Check(); });
    connect(faultsBox, &QListWidget::itemActivated, this, [this] { GoToFault(); });
    connect(rulesBox, &QPlainTextEdit::textChanged, this, [this] {
        // What was checked is no longer what is there.
        faultsBox->clear();
        stateLabel->clear();
    });

    std::error_code ec;
    if (std::filesystem::exists(context.rulesFile, ec)) {
        const FileReadResult file = ReadFileBytes(context.rulesFile, MissingFile::Fail);
        readable = file.opened && file.error.empty();
        if (readable) {
            loaded = file.bytes;
        } else {
            // Never offer to overwrite what could not be read.
            rulesBox->setReadOnly(true);
            checkButton->setEnabled(false);
            stateLabel->setText(tr("The rules file cannot be read; it is left as it is."));
            new QListWidgetItem(QString::fromStdString(file.error.empty() ? context.rulesFile
                                                                          : file.error),
                                faultsBox);
        }
    }
    {
        const QSignalBlocker block(rulesBox);
        rulesBox->setPlainText(QString::fromUtf8(loaded.data(), qsizetype(loaded.size())));
    }
}

bool COptionRules::Check() {
    const std::string text = rulesBox->toPlainText().toStdString();
    const RulesParse parse = ParseCallRules(text, context.rulesFile, context.country);
    faultsBox->clear();
    for (const RuleFault& fault : parse.faults) {
        // Faults of the rules file by their line; those of a list file by its name too.
        const QString what = QString::fromStdString(fault.what);
        auto* item = new QListWidgetItem(
            fault.file == context.rulesFile && fault.line > 0
                ? tr("line %1: %2").arg(fault.line).arg(what)
                : QString::fromStdString(FaultLine(fault)),
            faultsBox);
        item->setData(FaultLineRole, fault.file == context.rulesFile ? fault.line : 0);
    }
    if (parse.faults.empty()) {
        const size_t count = parse.rules.rules.size();
        stateLabel->setText(count == 0   ? tr("No rules: every call is announced.")
                            : count == 1 ? tr("One rule, no faults.")
                                         : tr("%1 rules, no faults.").arg(count));
        return true;
    }
    stateLabel->setText(parse.faults.size() == 1
                            ? tr("One fault: the rules cannot be saved like this.")
                            : tr("%1 faults: the rules cannot be saved like this.")
                                  .arg(parse.faults.size()));
    faultsBox->setCurrentRow(0);
    return false;
}

void COptionRules::GoToFault() {
    const QListWidgetItem* item = faultsBox->currentItem();
    const int line = item ? item->data(FaultLineRole).toInt() : 0;
    if (line <= 0)
        return;
    const QTextBlock block = rulesBox->document()->findBlockByNumber(line - 1);
    if (!block.isValid())
        return;
    QTextCursor cursor(block);
    rulesBox->setTextCursor(cursor);
    rulesBox->setFocus();
}

bool COptionRules::Validate() {
    if (!readable || rulesBox->toPlainText().toStdString() == loaded)
        return true;
    if (Check())
        return true;
    QString faults;
    for (int row = 0; row < faultsBox->count(); ++row)
        faults += QStringLiteral("\n") + faultsBox->item(row)->text();
    context.dialogs.showWarning(this, tr("The rules have faults and are not saved:%1").arg(faults));
    return false;
}

void COptionRules::OnOK() {
    const std::string text = rulesBox->toPlainText().toStdString();
    if (!readable || text == loaded)
        return;
    std::string error;
    if (!SaveRulesFile(context.rulesFile, text, error)) {
        context.dialogs.showWarning(this, tr("The rules cannot be saved to %1: %2")
                                              .arg(QString::fromStdString(context.rulesFile),
                                                   QString::fromStdString(error)));
        return;
    }
    loaded = text;
    if (context.rulesSaved)
        context.rulesSaved();
}
