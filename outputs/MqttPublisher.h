#pragma once
// Publishes calls and the line's state to an MQTT broker with libmosquitto, on a thread of its
// own. The connection comes back by itself (1 s, doubling to 60 s between tries); what is posted
// while the broker is away waits in a bounded queue (the oldest dropped, counted in the log) and
// goes out when it returns. A message counts as sent only when the broker has acknowledged it:
// whatever was in flight when the connection broke is sent again.

#include "outputs/BoundedQueue.h"
#include "outputs/CallOutput.h"
#include "outputs/MqttMessages.h"
#include "outputs/OutputStatus.h"
#include "settings/TavoConf.h"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <thread>

struct mosquitto;

struct MqttPublisherOptions {
    // Messages waiting for the broker (a call makes two).
    size_t backlogMessages = 1000;
    std::chrono::milliseconds firstRetry{1000};
    std::chrono::milliseconds maxRetry{60000};
    // A connection not acknowledged within this is given up and tried again.
    std::chrono::milliseconds connectTimeout{30000};
    int keepAliveSeconds = 60;
    std::string hostName; // empty: the machine's
    OutputLog log = LogToStandardError;
    // Connecting, connected, or failing and why (a refused login, TLS, unreachable).
    OutputStatusSink status;
};

class MqttPublisher final : public CallOutput {
public:
    MqttPublisher(const MqttSettings& settings, MqttPublisherOptions options = {});
    // Publishes "offline", waits a moment for it and for what is in flight, and disconnects.
    ~MqttPublisher() override;
    MqttPublisher(const MqttPublisher&) = delete;
    MqttPublisher& operator=(const MqttPublisher&) = delete;

    // Starts the thread; it connects (and keeps trying) by itself. False with `error` when the
    // settings cannot work at all (no host, a CA file that cannot be read).
    bool Start(std::string& error);
    void Post(const OutputEvent& event) override;

    bool Connected() const { return connected.load(); }
    const std::string& BaseTopic() const { return base; }

private:
    void Run();
    bool MakeClient(std::string& error);
    void TryConnect();
    enum class Trouble { Unreachable, LoginRefused, Refused, Tls };
    void ConnectionLost(Trouble trouble, const std::string& detail);
    // The failure of a libmosquitto call: TLS or else the network.
    void ConnectionLost(int rc);
    void Tell(OutputHealth health, const std::string& text);
    std::string Broker() const;
    void Enqueue(MqttMessage message, bool front = false);
    void PublishWaiting();
    void Finish();

    static void OnConnect(mosquitto*, void* self, int rc);
    static void OnDisconnect(mosquitto*, void* self, int rc);
    static void OnPublish(mosquitto*, void* self, int mid);

    MqttSettings settings;
    MqttPublisherOptions options;
    std::string host;
    std::string base;
    BoundedQueue<OutputEvent> queue;
    std::thread thread;
    std::atomic<bool> connected{false};

    // The thread's own.
    mosquitto* client = nullptr;
    bool connecting = false;
    bool lost = false;
    Trouble lostTrouble = Trouble::Unreachable;
    std::string lostReason;
    std::string lastTold; // the last failure logged, so a broker away is told once
    std::chrono::steady_clock::time_point connectStarted;
    std::chrono::steady_clock::time_point nextTry;
    std::chrono::milliseconds retryDelay{0};
    std::deque<MqttMessage> waiting;
    std::map<int, MqttMessage> inFlight;
    size_t droppedSinceReport = 0;
    bool lineKnown = false;
    bool lineDirty = false;
    LineState line = LineState::Listening;
    std::optional<CallEvent> lastCall; // the last call published, for its outcome
};
