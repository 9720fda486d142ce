#pragma once
// Runs a program for each announced call, without a shell: the program and its arguments as
// configured (split on blanks, nothing expanded), the call's fields in TAVO_* environment
// variables. The caller's number is never put into the command line. One command runs at a
// time on the output's own thread; one that outlives the time-out is ended (its whole process
// group). Its exit status and what it wrote to standard error go to the log; its status says
// whether the last run went well.

#include "outputs/BoundedQueue.h"
#include "outputs/CallOutput.h"
#include "outputs/OutputStatus.h"
#include "settings/TavoConf.h"

#include <string>
#include <thread>
#include <vector>

// "a  b\tc" -> {"a", "b", "c"}.
std::vector<std::string> SplitArguments(const std::string& arguments);
// "TAVO_NUMBER=...", ... for the call.
std::vector<std::string> CallEnvironment(const CallEvent& call);

class CallCommand final : public CallOutput {
public:
    explicit CallCommand(const CommandSettings& settings, OutputLog log = LogToStandardError,
                         OutputStatusSink status = {});
    ~CallCommand() override; // a command still running is ended
    CallCommand(const CallCommand&) = delete;
    CallCommand& operator=(const CallCommand&) = delete;

    // False with `error` when no program is set.
    bool Start(std::string& error);
    void Post(const OutputEvent& event) override;

private:
    void Run();
    void RunFor(const CallEvent& call);
    void Tell(OutputHealth health, const std::string& text);

    CommandSettings settings;
    OutputLog log;
    OutputStatusSink status;
    BoundedQueue<OutputEvent> queue{64};
    std::thread thread;
};
