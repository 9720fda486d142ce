#include "outputs/MqttPublisher.h"
#include "platform/Text.h"

#include <mosquitto.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <poll.h>
#include <unistd.h>

namespace {

using SteadyClock = std::chrono::steady_clock;

// Messages handed to libmosquitto and not yet acknowledged, at most.
constexpr size_t MaxInFlight = 20;

void InitialiseLibrary() {
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

} // namespace

MqttPublisher::MqttPublisher(const MqttSettings& settings, MqttPublisherOptions givenOptions)
    : settings(settings), options(std::move(givenOptions)),
      host(options.hostName.empty() ? LocalHostName() : options.hostName),
      base(MqttBaseTopic(settings, host)), queue(256) {
    if (!options.log)
        options.log = LogToStandardError;
    retryDelay = options.firstRetry;
}

MqttPublisher::~MqttPublisher() {
    queue.Close();
    if (thread.joinable())
        thread.join();
    if (client != nullptr)
        mosquitto_destroy(client);
}

bool MqttPublisher::Start(std::string& error) {
    InitialiseLibrary();
    if (settings.host.empty()) {
        error = "MQTT: no broker host in [mqtt] host";
        return false;
    }
    if (!settings.caFile.empty() && ::access(settings.caFile.c_str(), R_OK) != 0) {
        error = "MQTT: [mqtt] ca_file " + settings.caFile + ": " + ErrorText(errno);
        return false;
    }
    if (const std::string problem = MqttBaseTopicProblem(settings.baseTopic); !problem.empty()) {
        error = "MQTT: [mqtt] base_topic " + problem;
        return false;
    }
    if (!MakeClient(error))
        return false;
    if (mosquitto_pub_topic_check(base.c_str()) != MOSQ_ERR_SUCCESS) {
        error = "MQTT: \"" + base + "\" cannot be a topic ([mqtt] base_topic)";
        return false;
    }
    nextTry = SteadyClock::now();
    Tell(OutputHealth::Starting, "connecting to " + Broker());
    thread = std::thread([this] {
        BecomeBackgroundThread();
        Run();
    });
    return true;
}

bool MqttPublisher::MakeClient(std::string& error) {
    if (client != nullptr)
        mosquitto_destroy(client);
    const std::string id = MqttClientId(settings, host);
    client = mosquitto_new(id.c_str(), true, this);
    if (client == nullptr) {
        error = "MQTT: cannot make a client: " + ErrorText(errno);
        return false;
    }
    mosquitto_connect_callback_set(client, OnConnect);
    mosquitto_disconnect_callback_set(client, OnDisconnect);
    mosquitto_publish_callback_set(client, OnPublish);
    const MqttMessage will = StatusMessage(base, false);
    int rc = mosquitto_will_set(client, will.topic.c_str(), static_cast<int>(will.payload.size()),
                                will.payload.data(), will.qos, will.retain);
    if (rc == MOSQ_ERR_SUCCESS && !settings.user.empty())
        rc = mosquitto_username_pw_set(client, settings.user.c_str(),
                                       settings.password.empty() ? nullptr
                                                                 : settings.password.c_str());
    if (rc == MOSQ_ERR_SUCCESS && !settings.caFile.empty())
        rc = mosquitto_tls_set(client, settings.caFile.c_str(), nullptr, nullptr, nullptr, nullptr);
    if (rc != MOSQ_ERR_SUCCESS) {
        error = std::string("MQTT: ") + mosquitto_strerror(rc);
        return false;
    }
    return true;
}

void MqttPublisher::Post(const OutputEvent& event) {
    if (!queue.Push(event))
        options.log("mqtt: events came faster than they could be queued; the oldest was dropped");
}

void MqttPublisher::Enqueue(MqttMessage message, bool front) {
    if (front) {
        waiting.push_front(std::move(message));
        return;
    }
    waiting.push_back(std::move(message));
    while (waiting.size() > options.backlogMessages) {
        waiting.pop_front();
        ++droppedSinceReport;
    }
}

void MqttPublisher::Run() {
    while (!queue.Closed()) {
        const auto now = SteadyClock::now();
        if (!connected && !connecting && now >= nextTry)
            TryConnect();
        if (connecting && SteadyClock::now() - connectStarted > options.connectTimeout)
            ConnectionLost(Trouble::Unreachable, "no answer from the broker");

        pollfd waits[2] = {{queue.WakeFd(), POLLIN, 0}, {-1, 0, 0}};
        const int socket = (connected || connecting) ? mosquitto_socket(client) : -1;
        if (socket >= 0)
            waits[1] = {socket,
                        static_cast<short>(POLLIN | (mosquitto_want_write(client) ? POLLOUT : 0)),
                        0};
        int timeout = 1000; // keepalive and the connect timeout are looked at this often
        if (!connected && !connecting) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(nextTry - SteadyClock::now());
            timeout = static_cast<int>(std::clamp<long long>(left.count() + 1, 0, 1000));
        }
        if (::poll(waits, socket >= 0 ? 2 : 1, timeout) < 0 && errno != EINTR)
            break;

        if (waits[0].revents != 0) {
            for (const OutputEvent& event : queue.TakeAll()) {
                if (const CallEvent* call = std::get_if<CallEvent>(&event)) {
                    if (!call->Repeat()) {
                        for (MqttMessage& message : CallMessages(base, *call))
                            Enqueue(std::move(message));
                        lastCall = *call;
                    }
                } else if (const CallEndEvent* end = std::get_if<CallEndEvent>(&event)) {
                    for (MqttMessage& message :
                         CallEndMessages(base, *end, lastCall ? &*lastCall : nullptr))
                        Enqueue(std::move(message));
                } else if (const LineEvent* lineEvent = std::get_if<LineEvent>(&event)) {
                    lineKnown = true;
                    lineDirty = true;
                    line = lineEvent->state;
                }
            }
            if (droppedSinceReport > 0) {
                options.log("mqtt: the broker is away and " +
                            std::to_string(options.backlogMessages) +
                            " messages wait; dropped the " + std::to_string(droppedSinceReport) +
                            " oldest");
                droppedSinceReport = 0;
            }
        }
        if (socket >= 0) {
            int rc = MOSQ_ERR_SUCCESS;
            if (waits[1].revents & (POLLIN | POLLHUP | POLLERR))
                rc = mosquitto_loop_read(client, 1);
            if (rc == MOSQ_ERR_SUCCESS && (waits[1].revents & POLLOUT))
                rc = mosquitto_loop_write(client, 1);
            if (rc == MOSQ_ERR_SUCCESS)
                rc = mosquitto_loop_misc(client);
            if (rc != MOSQ_ERR_SUCCESS && !lost)
                ConnectionLost(rc);
        }
        if (lost)
            ConnectionLost(lostTrouble, lostReason);
        if (connected)
            PublishWaiting();
    }
    Finish();
}

void MqttPublisher::TryConnect() {
    std::string error;
    if (!MakeClient(error)) {
        ConnectionLost(Trouble::Unreachable, error);
        return;
    }
    const int rc = mosquitto_connect_async(client, settings.host.c_str(), settings.port,
                                           options.keepAliveSeconds);
    if (rc != MOSQ_ERR_SUCCESS) {
        ConnectionLost(rc);
        return;
    }
    connecting = true;
    lost = false;
    connectStarted = SteadyClock::now();
}

void MqttPublisher::ConnectionLost(int rc) {
    const int code = errno;
    if (rc == MOSQ_ERR_TLS || rc == MOSQ_ERR_TLS_HANDSHAKE)
        ConnectionLost(Trouble::Tls, mosquitto_strerror(rc));
    else
        ConnectionLost(Trouble::Unreachable,
                       rc == MOSQ_ERR_ERRNO ? ErrorText(code) : mosquitto_strerror(rc));
}

void MqttPublisher::ConnectionLost(Trouble trouble, const std::string& detail) {
    const bool wasConnected = connected;
    connected = false;
    connecting = false;
    lost = false;
    // What the broker has not acknowledged goes out again, first and in its order.
    for (auto it = inFlight.rbegin(); it != inFlight.rend(); ++it)
        Enqueue(std::move(it->second), true);
    inFlight.clear();
    if (client != nullptr) {
        mosquitto_destroy(client);
        client = nullptr;
    }
    if (wasConnected)
        retryDelay = options.firstRetry;
    std::string text = Broker();
    switch (trouble) {
    case Trouble::Unreachable:
        text += wasConnected ? " lost (" : " not reachable (";
        break;
    case Trouble::LoginRefused:
        text += " refused the login (";
        break;
    case Trouble::Refused:
        text += " refused the connection (";
        break;
    case Trouble::Tls:
        text += ": TLS failed (";
        break;
    }
    text += detail + ")";
    Tell(OutputHealth::Failing, text);
    // Told once while the broker stays away the same way, not at every try.
    if (wasConnected || text != lastTold)
        options.log("mqtt: broker " + text + "; trying again with growing pauses up to " +
                    std::to_string(options.maxRetry.count()) + " ms");
    lastTold = text;
    nextTry = SteadyClock::now() + retryDelay;
    retryDelay = std::min(retryDelay * 2, options.maxRetry);
}

void MqttPublisher::Tell(OutputHealth health, const std::string& text) {
    if (options.status)
        options.status(health, text);
}

std::string MqttPublisher::Broker() const {
    return settings.host + ":" + std::to_string(settings.port);
}

void MqttPublisher::PublishWaiting() {
    // The line's state is retained: only its latest value matters.
    if (connected && lineDirty) {
        Enqueue(LineMessage(base, line));
        lineDirty = false;
    }
    while (connected && !waiting.empty() && inFlight.size() < MaxInFlight) {
        MqttMessage& message = waiting.front();
        int mid = 0;
        const int rc = mosquitto_publish(client, &mid, message.topic.c_str(),
                                         static_cast<int>(message.payload.size()),
                                         message.payload.data(), message.qos, message.retain);
        if (rc != MOSQ_ERR_SUCCESS) {
            if (rc == MOSQ_ERR_NO_CONN || rc == MOSQ_ERR_CONN_LOST) {
                ConnectionLost(rc);
                return;
            }
            options.log("mqtt: cannot publish on " + message.topic + ": " + mosquitto_strerror(rc));
            waiting.pop_front();
            continue;
        }
        if (message.qos > 0)
            inFlight.emplace(mid, std::move(message));
        waiting.pop_front();
    }
}

void MqttPublisher::Finish() {
    if (!connected)
        return;
    // A clean end does not send the will: say "offline" ourselves.
    Enqueue(StatusMessage(base, false), true);
    const auto deadline = SteadyClock::now() + std::chrono::seconds(2);
    while (connected && (!waiting.empty() || !inFlight.empty()) && SteadyClock::now() < deadline) {
        PublishWaiting();
        if (!connected)
            break;
        pollfd wait{mosquitto_socket(client),
                    static_cast<short>(POLLIN | (mosquitto_want_write(client) ? POLLOUT : 0)), 0};
        if (::poll(&wait, 1, 100) < 0 && errno != EINTR)
            break;
        int rc = MOSQ_ERR_SUCCESS;
        if (wait.revents & (POLLIN | POLLHUP | POLLERR))
            rc = mosquitto_loop_read(client, 1);
        if (rc == MOSQ_ERR_SUCCESS && (wait.revents & POLLOUT))
            rc = mosquitto_loop_write(client, 1);
        if (rc != MOSQ_ERR_SUCCESS)
            break;
    }
    const size_t unsent = waiting.size() + inFlight.size();
    if (unsent > 0)
        options.log("mqtt: " + std::to_string(unsent) + " messages not sent at the end");
    mosquitto_disconnect(client);
    mosquitto_loop_write(client, 1);
    connected = false;
}

void MqttPublisher::OnConnect(mosquitto*, void* self, int rc) {
    auto& me = *static_cast<MqttPublisher*>(self);
    me.connecting = false;
    if (rc != 0) {
        // 4 and 5: a bad user name or password, or not allowed in (134 and 135 in MQTT 5).
        const bool login = rc == 4 || rc == 5 || rc == 134 || rc == 135;
        me.lost = true;
        me.lostTrouble = login ? Trouble::LoginRefused : Trouble::Refused;
        me.lostReason = mosquitto_connack_string(rc);
        return;
    }
    me.connected = true;
    me.Tell(OutputHealth::Working, "connected to " + me.Broker());
    if (!me.lastTold.empty())
        me.options.log("mqtt: connected to " + me.Broker());
    me.lastTold.clear();
    me.retryDelay = me.options.firstRetry;
    // Every new session says who we are first; the broker may have forgotten.
    std::vector<MqttMessage> first{StatusMessage(me.base, true)};
    if (me.settings.discovery)
        for (MqttMessage& message : DiscoveryMessages(me.base, me.host))
            first.push_back(std::move(message));
    me.lineDirty = me.lineKnown;
    for (auto it = first.rbegin(); it != first.rend(); ++it)
        me.Enqueue(std::move(*it), true);
}

void MqttPublisher::OnDisconnect(mosquitto*, void* self, int rc) {
    auto& me = *static_cast<MqttPublisher*>(self);
    if (me.connected || me.connecting) {
        me.lost = true;
        me.lostTrouble = Trouble::Unreachable;
        me.lostReason = rc == 0 ? "disconnected" : "connection lost";
    }
}

void MqttPublisher::OnPublish(mosquitto*, void* self, int mid) {
    static_cast<MqttPublisher*>(self)->inFlight.erase(mid);
}
