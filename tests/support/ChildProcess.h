#pragma once
// A program under test, run as a child process with pipes on its three standard streams.
// Every wait has a deadline, so a child that hangs (a silent server, a blocked registration)
// fails the test instead of stalling the run. When the object goes, the child is asked to end
// (SIGTERM) and killed if it does not; it is also killed when the test process itself dies.

#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

class ChildProcess {
public:
    enum Stream { Out = 0, Err = 1 };
    using Duration = std::chrono::milliseconds;

    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts argv[0] (a path) with the current environment plus `environment`. False when the
    // program cannot be started.
    bool Start(const std::vector<std::string>& argv,
               const std::map<std::string, std::string>& environment = {});

    bool WriteLine(const std::string& line);
    void CloseInput();

    // The next line of the stream not handed out yet, waiting at most `timeout`.
    std::optional<std::string> NextLine(Stream stream, Duration timeout);
    // Skips lines until one satisfies `match`; nullopt when none came in time.
    std::optional<std::string>
    WaitFor(Stream stream, const std::function<bool(const std::string&)>& match, Duration timeout);
    std::optional<std::string> WaitForPrefix(Stream stream, const std::string& prefix,
                                             Duration timeout);
    // Collects output for the whole `period` (to show that something does not happen).
    void Collect(Duration period);

    // Every line the stream produced so far, handed out or not.
    const std::vector<std::string>& Lines(Stream stream) const { return lines[stream]; }
    // Lines not yet handed out by NextLine/WaitFor.
    std::vector<std::string> Unread(Stream stream) const;
    // Both streams, for a failure message.
    std::string Transcript() const;

    // Waits for the child to end; its exit code, or 128 + signal. nullopt when it is still running.
    std::optional<int> Wait(Duration timeout);
    bool Running();
    void Kill(int signal);
    pid_t Pid() const { return pid; }

private:
    // Reads whatever is available within `timeout`; false once both streams are closed.
    bool Pump(Duration timeout);
    void Split(Stream stream);

    pid_t pid = -1;
    int input = -1;
    int outputs[2] = {-1, -1};
    std::string partial[2];
    std::vector<std::string> lines[2];
    size_t cursor[2] = {0, 0};
    std::optional<int> status;
};

// A fresh directory under $TMPDIR, removed with everything in it when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return path; }

private:
    std::string path;
};
