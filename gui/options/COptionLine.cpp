#include "gui/options/COptionLine.h"

#include "gui/options/COptionIds.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// A host name or address is one word: a blank or a control character in it is a typing slip
// that would only show later as a line that never connects.
bool HostIsOneWord(const std::string& host) {
    return std::none_of(host.begin(), host.end(),
                        [](char c) { return static_cast<unsigned char>(c) <= ' ' || c == 0x7f; });
}

bool Names(const std::vector<LineSource>& sources, LineSource source) {
    return std::find(sources.begin(), sources.end(), source) != sources.end();
}

} // namespace

COptionLine::COptionLine(OptionsContext& context)
    : COptionPage(context, QT_TRANSLATE_NOOP("COptionPage", "line"), OptionIds::LinePage) {}

void COptionLine::OnInitDialog() {
    capiBox = MakeCheckBox(tr("&CAPI: an ISDN card, or a router's CAPI over the network"),
                           "IDC_LINE_CAPI");
    simBox = MakeCheckBox(tr("s&imulated line (no calls, for trying TAVO out)"), "IDC_LINE_SIM");
    feedBox = MakeCheckBox(tr("the router's call-&monitor feed"), "IDC_LINE_CALLMONITOR");
    feedHost = MakeEdit("IDC_CALLMONITOR_HOST");
    feedPort = MakeEdit("IDC_CALLMONITOR_PORT");
    amiBox = MakeCheckBox(tr("a PBX's manager &interface (AMI)"), "IDC_LINE_AMI");
    amiHost = MakeEdit("IDC_AMI_HOST");
    amiPort = MakeEdit("IDC_AMI_PORT");
    amiUser = MakeEdit("IDC_AMI_USER");
    amiSecret = MakeEdit("IDC_AMI_SECRET");
    amiSecret->setEchoMode(QLineEdit::PasswordEchoOnEdit);
    amiContext = MakeEdit("IDC_AMI_CONTEXT");
    amiContext->setPlaceholderText(tr("empty: every context"));
    for (QLineEdit* number : {feedPort, amiPort})
        number->setFixedWidth(CharactersWide(7));
    QLabel* feedHint = MakeLabel(
        tr("The router sends its feed once it is switched on there,\nusually by dialling a "
           "short code on a telephone connected to it."));
    feedHint->setObjectName("IDC_CALLMONITOR_HINT");
    QLabel* commandLine = MakeLabel(
        tr("The command line chose the lines of this run.\nWhat is saved here is used when TAVO "
           "starts without them."));
    commandLine->setObjectName("IDC_LINE_COMMAND_LINE");

    // Four columns: a label and its box, twice; a box without a partner spans the rest.
    auto* grid = new QGridLayout;
    grid->setColumnStretch(1, 1);
    int row = 0;
    auto pair = [&](int column, const QString& text, QWidget* box, int span = 1) {
        grid->addWidget(MakeLabel(text, box), row, column);
        grid->addWidget(box, row, column + 1, 1, span);
    };
    grid->addWidget(capiBox, row++, 0, 1, 4);
    grid->addWidget(simBox, row++, 0, 1, 4);
    grid->addWidget(feedBox, row++, 0, 1, 4);
    pair(0, tr("&host"), feedHost);
    pair(2, tr("&port"), feedPort);
    ++row;
    grid->addWidget(feedHint, row++, 0, 1, 4);
    grid->addWidget(amiBox, row++, 0, 1, 4);
    pair(0, tr("h&ost"), amiHost);
    pair(2, tr("po&rt"), amiPort);
    ++row;
    pair(0, tr("&user"), amiUser, 3);
    ++row;
    pair(0, tr("s&ecret"), amiSecret, 3);
    ++row;
    pair(0, tr("con&text"), amiContext, 3);
    ++row;

    auto* page = new QVBoxLayout(this);
    page->addLayout(grid);
    page->addWidget(commandLine);
    page->addStretch(1);

    for (QCheckBox* box : {capiBox, simBox, feedBox, amiBox})
        connect(box, &QCheckBox::clicked, this, [this] { EnableBoxes(); });

    const LineSettings s = context.lineSettings ? *context.lineSettings : LineSettings{};
    capiBox->setChecked(Names(s.sources, LineSource::Capi));
    simBox->setChecked(Names(s.sources, LineSource::Sim));
    // The simulated line is for trying the monitor out: offered only to whoever chose it.
    simBox->setVisible(simBox->isChecked());
    feedBox->setChecked(Names(s.sources, LineSource::CallMonitor));
    feedHost->setText(QString::fromStdString(s.callMonitor.host));
    feedPort->setText(QString::number(s.callMonitor.port));
    amiBox->setChecked(Names(s.sources, LineSource::Ami));
    amiHost->setText(QString::fromStdString(s.ami.host));
    amiPort->setText(QString::number(s.ami.port));
    amiUser->setText(QString::fromStdString(s.ami.user));
    amiSecret->setText(QString::fromStdString(s.ami.secret));
    amiContext->setText(QString::fromStdString(s.ami.context));
    commandLine->setVisible(context.linesFromCommandLine);
    EnableBoxes();
    // Without tavo.conf behind it the page only shows the defaults.
    setEnabled(context.lineSettings != nullptr);
}

void COptionLine::EnableBoxes() {
    for (QLineEdit* box : {feedHost, feedPort})
        box->setEnabled(feedBox->isChecked());
    for (QLineEdit* box : {amiHost, amiPort, amiUser, amiSecret, amiContext})
        box->setEnabled(amiBox->isChecked());
}

bool COptionLine::Read(LineSettings& s, QString& problem) const {
    // The sources keep the order tavo.conf gave them; newly chosen ones follow.
    std::vector<LineSource> chosen;
    const std::pair<QCheckBox*, LineSource> boxes[] = {{capiBox, LineSource::Capi},
                                                       {simBox, LineSource::Sim},
                                                       {feedBox, LineSource::CallMonitor},
                                                       {amiBox, LineSource::Ami}};
    const auto isChosen = [&](LineSource source) {
        return std::any_of(std::begin(boxes), std::end(boxes), [&](const auto& box) {
            return box.second == source && box.first->isChecked();
        });
    };
    for (LineSource source : s.sources)
        if (isChosen(source) && !Names(chosen, source))
            chosen.push_back(source);
    for (const auto& [box, source] : boxes)
        if (box->isChecked() && !Names(chosen, source))
            chosen.push_back(source);

    // Sources not chosen keep their values as the user typed them last, refused or not.
    const bool feed = feedBox->isChecked();
    const bool ami = amiBox->isChecked();
    s.callMonitor.host = TrimmedText(feedHost);
    if (!ReadNumberBox(feedPort, 1, 65535, s.callMonitor.port) && feed)
        problem = tr("The call-monitor port must be a number from 1 to 65535.");
    if (feed && s.callMonitor.host.empty())
        problem = tr("The call-monitor feed needs the router's host.");
    s.ami.host = TrimmedText(amiHost);
    if (!ReadNumberBox(amiPort, 1, 65535, s.ami.port) && ami)
        problem = tr("The manager interface's port must be a number from 1 to 65535.");
    s.ami.user = TrimmedText(amiUser);
    if (ami && s.ami.user.empty())
        problem = tr("The manager interface needs the user TAVO logs in as.");
    if (ami && s.ami.host.empty())
        problem = tr("The manager interface needs the PBX's host.");
    if ((feed && !HostIsOneWord(s.callMonitor.host)) || (ami && !HostIsOneWord(s.ami.host)))
        problem = tr("A host is one name or address, without blanks.");
    // The secret is taken as typed: blanks may belong to it.
    s.ami.secret = amiSecret->text().toStdString();
    s.ami.context = TrimmedText(amiContext);
    if (isChosen(LineSource::Capi) && isChosen(LineSource::Sim))
        problem = tr("CAPI and the simulated line are both the CAPI line: choose one of them.");
    if (chosen.empty())
        problem = tr("Choose at least one line calls come from.");
    s.sources = std::move(chosen);
    return problem.isEmpty();
}

bool COptionLine::Validate() {
    return ValidateByReading(context.lineSettings, &COptionLine::Read);
}

void COptionLine::OnOK() {
    StoreByReading(context.lineSettings, &COptionLine::Read);
}
