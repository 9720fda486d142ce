#pragma once
// Everything the monitor is, without windows: the three lists, the area codes, the settings, the
// line to the ISDN card with its listener, the speech engine, the telnet server, the sounds and
// the handling of each call. The main window and the headless front end both run on one of
// these, on the thread that created it, and call its start-up steps in their own order.

#include "capi/IncomingCallNotice.h"
#include "capi/LineReport.h"
#include "core/CommandLine.h"
#include "core/IncomingCallHandler.h"
#include "core/StorageState.h"
#include "data/SharedLists.h"
#include "platform/Guarded.h"
#include "platform/SoundSink.h"
#include "settings/LineSettings.h"
#include "settings/Settings.h"
#include "settings/TavoConf.h"

#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class CallMerge;
class CombinedLineState;
class CallScreening;
class CallVerdicts;
class CSpeechEngine;
class QObject;
struct StoredVerdict;

class TelnetServer;
class OutputHub;

class MonitorCore {
public:
    using Clock = std::function<std::time_t()>;

    // `sound` empty: the desktop's event sounds.
    explicit MonitorCore(CommandLine options, Clock clock = {},
                         std::unique_ptr<SoundSink> sound = {});
    ~MonitorCore();
    MonitorCore(const MonitorCore&) = delete;
    MonitorCore& operator=(const MonitorCore&) = delete;

    // Where the handler shows and plays what it does; set before LoadData, must outlive the core
    // or be cleared by Shutdown first.
    void SetAnnouncer(CallAnnouncer* announcer) { this->announcer = announcer; }

    // Loads "names.dat", "msn.dat", "caller.his", then "areacode.lst", then the settings, in that
    // order, from the current directory; then makes the call handler over them. A damaged
    // history is kept aside, calls left in its journal are taken back, and a data directory
    // that cannot be written is reported (the monitor runs on and saves nothing until it can).
    void LoadData();

    // Told when the data files go from writable to failing and back (after ShowMessage has
    // told the user), on the thread that wrote; for the window's tray tooltip, say. Set it
    // before LoadData.
    using StorageListener = std::function<void(bool writable, const std::string& text)>;
    void SetStorageListener(StorageListener listener);
    const StorageState& Storage() const { return *storage; }

    // Told every report of the line (listening, lost, retrying, no driver), on the line's thread,
    // after the log and the outputs have it; for the window's status bar. Set it before
    // StartCallCapture; an empty listener stops the calls.
    using LineListener = std::function<void(const LineReport& report)>;
    void SetLineListener(LineListener listener);

    // Called on the core's thread for every call the listener delivers, while it waits.
    using CallSink = std::function<void(const IncomingCallNotice&)>;
    // Opens the lines chosen with --line, else by [line] sources in tavo.conf, else CAPI: the
    // CAPI line (or the simulated one) with its listener, which registers with CAPI (reporting
    // failures with ShowMessage), and each network source (the router's call-monitor feed, the
    // PBX's manager). Each notice of each line is handed to `deliver`, which must get it to the
    // core's thread and return when it has been handled. The outcomes the network sources tell
    // go to the outputs.
    void StartCallCapture(CallSink deliver);
    // The lines tavo.conf chooses changed (the options sheet): the lines open now are stopped
    // (calls being handled are handled first) and the chosen ones opened, handing their
    // notices to the same `deliver`. Nothing is restarted while the command line decides the
    // lines (LinesFromCommandLine) or before StartCallCapture.
    void ApplyLineSettings(const LineSettings& settings);
    // After the options sheet: writes the settings into tavo.conf (keeping everything else in
    // it), then applies them. A file that cannot be written is shown with ShowMessage.
    void SaveLineSettings(const LineSettings& settings);
    // --line, --sim or --demo chose the lines: tavo.conf's [line] sources are not used.
    bool LinesFromCommandLine() const;
    // The lines open now, in their order: the key their reports carry as LineReport::source
    // ("" for the CAPI line), the line's name as tavo.conf has it (LineSourceName) and where a
    // network source connects to ("host:port").
    struct LineInUse {
        std::string source;
        std::string name;
        std::string where;
        bool operator==(const LineInUse&) const = default;
    };
    std::vector<LineInUse> LinesInUse() const;
    // The speech engine with the stored voice, speed, pitch and volume.
    void StartSpeech();
    // The telnet server, listening when it is switched on.
    void StartTelnet();
    // The outputs tavo.conf switches on (NCID, MQTT, notifications, a command per call);
    // problems with the file or an output are shown with ShowMessage.
    void StartOutputs();
    // Switches outputs on, off or over without a restart.
    void ApplyOutputSettings(const OutputSettings& settings);
    // After the options sheet: writes the settings into tavo.conf (keeping everything else in
    // it), then applies them. A file that cannot be written is shown with ShowMessage.
    void SaveOutputSettings(const OutputSettings& settings);
    const OutputSettings& CurrentOutputSettings() const { return outputSettings; }
    OutputHub* Outputs() { return outputs.get(); }

    // What the screening rules decided for a call of the list, kept across restarts in
    // "caller.verdicts"; nullptr when no rule decided it. On the core's thread.
    const StoredVerdict* VerdictOf(const CallRecord& call) const;
    // The rules file and its watcher; null before LoadData.
    CallScreening* Screening() { return screening.get(); }

    // The whole handling of one call (on the core's thread). A notice that is a call already
    // taken in through another line source (CallMerge) is not handled again.
    void OnIncomingCall(const IncomingCallNotice& notice);

    SoundSink& Sound() { return *sound; }
    CSpeechEngine* SpeechEngine() { return speechEngine.get(); }
    TelnetServer* Telnet() { return telnet.get(); }
    void SpeakText(const std::string& text);

    // Normal end: stop and join the listener, release CAPI, the speech engine and the telnet
    // server, and wait until "caller.his" holds every call. Safe to call more than once.
    void Shutdown();
    // End of the session: the listener is told to stop and speech is dropped; nothing is
    // saved. Returns at once; Shutdown (or the destructor) joins the listener.
    void EndSession();

    bool SaveSettingsNow(); // writes `settings` as it stands

    std::time_t Now() const { return clock(); }
    const CommandLine& Options() const { return options; }

    // The phone book, the MSN list, the call list and the area codes, and the settings: this
    // thread writes them through Write(), every thread reads them through Read().
    GuardedLists lists;
    GuardedSettings settings;

private:
    class Receiver;
    struct Capture;
    void StopCallCapture();
    void StartLines(CallSink deliver, const LineSettings& lineSettings,
                    std::vector<std::string> problems);
    // Reads the verdicts kept so far and the rules file, and starts watching it.
    void StartScreening();

    CommandLine options;
    Clock clock;
    std::unique_ptr<SoundSink> sound;
    CallAnnouncer* announcer = nullptr;
    std::unique_ptr<StorageState> storage = std::make_unique<StorageState>();
    // Shared with the reporting functions the line keeps, which may outlive a capture.
    std::shared_ptr<Guarded<LineListener>> lineListener =
        std::make_shared<Guarded<LineListener>>();
    // Before the handler, which uses them until it goes.
    std::unique_ptr<CallScreening> screening;
    std::unique_ptr<CallVerdicts> verdicts;
    std::unique_ptr<IncomingCallHandler> handler;
    std::unique_ptr<Capture> capture;
    // Touched by the core's thread and the sources' threads (outcomes, line states).
    std::shared_ptr<Guarded<CallMerge>> merge;
    std::shared_ptr<Guarded<CombinedLineState>> lineStates;
    std::unique_ptr<CSpeechEngine> speechEngine;
    std::unique_ptr<TelnetServer> telnet;
    std::shared_ptr<OutputHub> outputs;
    OutputSettings outputSettings;
};
