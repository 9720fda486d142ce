#include "outputs/MqttMessages.h"
#include "outputs/MqttPublisher.h"

#include "MqttTestBroker.h"
#include "OutputTestCalls.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <fstream>
#include <memory>
#include <mutex>

namespace {

TEST(MqttMessages, CallAsJson) {
    EXPECT_EQ(CallJson(SampleCall()),
              "{\"time\":\"2026-03-01T18:05:00+01:00\",\"controller\":1,\"msn\":\"5551234\","
              "\"msn_name\":\"Office\",\"service\":\"Telephony\",\"caller\":\"number\","
              "\"number\":\"04012345678\",\"name\":\"Anna Berg\",\"area_code\":\"040\","
              "\"local_number\":\"12345678\",\"place\":\"Hamburg\",\"display\":\"Anna Berg\","
              "\"repeat\":1}");

    CallEvent withheld = SampleCall("0", "");
    withheld.callerKind = CallerKind::Withheld;
    withheld.areaCode.clear();
    withheld.place.clear();
    const std::string json = CallJson(withheld);
    EXPECT_NE(json.find("\"caller\":\"withheld\",\"number\":\"\""), std::string::npos) << json;
    EXPECT_NE(json.find("\"display\":\"withheld\""), std::string::npos) << json;

    EXPECT_EQ(JsonString("a\"b\\c\nd\x01"), "\"a\\\"b\\\\c\\nd\\u0001\"");
}

TEST(MqttMessages, ScreenedCallsSayTheActionAndTheRuleLast) {
    CallEvent quiet = SampleCall();
    quiet.screenAction = "quiet";
    quiet.screenRule = "quiet time=22:00-07:00 days=\"sat\"";
    EXPECT_EQ(CallJson(quiet),
              "{\"time\":\"2026-03-01T18:05:00+01:00\",\"controller\":1,\"msn\":\"5551234\","
              "\"msn_name\":\"Office\",\"service\":\"Telephony\",\"caller\":\"number\","
              "\"number\":\"04012345678\",\"name\":\"Anna Berg\",\"area_code\":\"040\","
              "\"local_number\":\"12345678\",\"place\":\"Hamburg\",\"display\":\"Anna Berg\","
              "\"repeat\":1,\"action\":\"quiet\",\"rule\":\"quiet time=22:00-07:00 "
              "days=\\\"sat\\\"\"}");

    // Rules in force but none held: the keys are there, the rule empty.
    CallEvent announced = SampleCall();
    announced.screenAction = "announce";
    const std::string json = CallJson(announced);
    EXPECT_TRUE(json.ends_with(",\"repeat\":1,\"action\":\"announce\",\"rule\":\"\"}")) << json;
}

TEST(MqttMessages, TopicsAreTheHostsOwn) {
    MqttSettings settings;
    EXPECT_EQ(MqttBaseTopic(settings, "desk+1/a#"), "tavo/desk_1_a_");
    EXPECT_EQ(MqttClientId(settings, "Desk.Home"), "tavo-desk_home");
    settings.baseTopic = "house/phone";
    EXPECT_EQ(MqttBaseTopic(settings, "desk"), "house/phone");

    const std::vector<MqttMessage> a = DiscoveryMessages("tavo/a", "a");
    const std::vector<MqttMessage> b = DiscoveryMessages("tavo/b", "b");
    ASSERT_EQ(a.size(), 2u);
    EXPECT_EQ(a[0].topic, "homeassistant/sensor/tavo_a/last_caller/config");
    EXPECT_EQ(a[1].topic, "homeassistant/binary_sensor/tavo_a/line/config");
    EXPECT_NE(a[0].topic, b[0].topic);
    EXPECT_TRUE(a[0].retain && a[1].retain);
    EXPECT_NE(a[0].payload.find("\"json_attributes_topic\":\"tavo/a/last_call\""),
              std::string::npos);
    EXPECT_NE(a[1].payload.find("\"state_topic\":\"tavo/a/line\""), std::string::npos);
    EXPECT_NE(a[1].payload.find("\"name\":\"TAVO on a\""), std::string::npos);
}

CallEndEvent EndOf(const CallEvent& call, bool answered) {
    CallEndEvent end;
    end.time = call.time + 95;
    end.callTime = call.time;
    end.connectionId = call.connectionId;
    end.msn = call.msn;
    end.number = call.number;
    end.answered = answered;
    end.extension = answered ? "2" : "";
    end.seconds = answered ? 80 : 0;
    return end;
}

TEST(MqttMessages, TheOutcomeOnCallEndAndAmongTheLastCallersAttributes) {
    const CallEvent call = SampleCall();
    std::vector<MqttMessage> messages = CallEndMessages("tavo/d", EndOf(call, true), &call);
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].topic, "tavo/d/call_end");
    EXPECT_FALSE(messages[0].retain);
    EXPECT_EQ(messages[0].payload,
              "{\"time\":\"2026-03-01T18:06:35+01:00\",\"call_time\":\"2026-03-01T18:05:00+01:00\","
              "\"msn\":\"5551234\",\"number\":\"04012345678\",\"outcome\":\"answered\","
              "\"extension\":\"2\",\"seconds\":80}");
    // The sensor's attributes: the call's fields as before, and the outcome after them.
    EXPECT_EQ(messages[1].topic, "tavo/d/last_call");
    EXPECT_TRUE(messages[1].retain);
    const std::string fields = CallJson(call);
    EXPECT_EQ(messages[1].payload, fields.substr(0, fields.size() - 1) +
                                       ",\"outcome\":\"answered\",\"extension\":\"2\","
                                       "\"seconds\":80}");

    // Missed, withheld, with the PBX's cause; and the end of a call that is no longer the last.
    CallEndEvent missed = EndOf(call, false);
    missed.number = "0";
    missed.cause = 19;
    missed.causeText = "No answer";
    CallEvent later = SampleCall("0301111", "");
    later.time += 30;
    messages = CallEndMessages("tavo/d", missed, &later);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].payload.find("\"number\":\"\",\"outcome\":\"missed\",\"extension\":\"\","
                                       "\"seconds\":0,\"cause\":19,\"cause_text\":\"No answer\"}"),
              std::string::npos)
        << messages[0].payload;
    EXPECT_EQ(CallEndMessages("tavo/d", missed, nullptr).size(), 1u);
}

struct Log {
    OutputLog Sink() {
        return [this](const std::string& line) {
            std::lock_guard lock(mutex);
            text += line + "\n";
        };
    }
    std::string Text() {
        std::lock_guard lock(mutex);
        return text;
    }
    std::mutex mutex;
    std::string text;
};

MqttSettings BrokerSettings(const TestBroker& broker, std::string base = "") {
    MqttSettings settings;
    settings.enabled = true;
    settings.host = "127.0.0.1";
    settings.port = broker.port;
    settings.baseTopic = std::move(base);
    return settings;
}

TEST(MqttPublisher, CallsLineStatusAndDiscoveryReachTheBroker) {
    TestBroker broker;
    ASSERT_TRUE(broker.Start());
    TestSubscriber watcher(broker.port, "#", "watcher");
    ASSERT_TRUE(watcher.WaitSubscribed());

    Log log;
    MqttPublisherOptions options;
    options.hostName = "desk";
    options.log = log.Sink();
    auto publisher = std::make_unique<MqttPublisher>(BrokerSettings(broker), options);
    std::string error;
    ASSERT_TRUE(publisher->Start(error)) << error;
    EXPECT_EQ(publisher->BaseTopic(), "tavo/desk");

    const CallEvent call = SampleCall();
    publisher->Post(call);
    publisher->Post(LineEvent{SampleTime, LineState::Lost});
    ASSERT_TRUE(watcher.WaitFor([](const auto& m) { return CountOn(m, "tavo/desk/line") == 1; }))
        << log.Text();
    const auto calls = watcher.On("tavo/desk/call");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].payload, CallJson(call));
    EXPECT_FALSE(calls[0].retained);
    EXPECT_EQ(watcher.On("tavo/desk/status").at(0).payload, "online");
    EXPECT_EQ(watcher.On("tavo/desk/line").at(0).payload, "lost");
    EXPECT_EQ(watcher.On("homeassistant/sensor/tavo_desk/last_caller/config").size(), 1u);
    EXPECT_EQ(watcher.On("homeassistant/binary_sensor/tavo_desk/line/config").size(), 1u);

    // Who comes later finds the retained state: status, last call, line, discovery.
    {
        TestSubscriber later(broker.port, "#", "later");
        ASSERT_TRUE(later.WaitFor([](const auto& m) { return m.size() >= 5; }));
        for (const ReceivedMessage& m : later.Messages()) {
            EXPECT_TRUE(m.retained) << m.topic;
            EXPECT_NE(m.topic, "tavo/desk/call");
        }
        ASSERT_EQ(later.On("tavo/desk/last_call").size(), 1u);
        EXPECT_EQ(later.On("tavo/desk/last_call")[0].payload, CallJson(call));
    }

    publisher.reset();
    EXPECT_TRUE(watcher.WaitFor([](const auto& m) {
        return !m.empty() && m.back().topic == "tavo/desk/status" && m.back().payload == "offline";
    }));
}

TEST(MqttPublisher, ACallsOutcomeReachesTheBrokerAfterTheCall) {
    TestBroker broker;
    ASSERT_TRUE(broker.Start());
    TestSubscriber watcher(broker.port, "tavo/desk/#", "watcher");
    ASSERT_TRUE(watcher.WaitSubscribed());
    MqttPublisherOptions options;
    options.hostName = "desk";
    Log log;
    options.log = log.Sink();
    MqttPublisher publisher(BrokerSettings(broker), options);
    std::string error;
    ASSERT_TRUE(publisher.Start(error)) << error;

    const CallEvent call = SampleCall();
    publisher.Post(call);
    publisher.Post(EndOf(call, true));
    ASSERT_TRUE(watcher.WaitFor([](const auto& m) { return CountOn(m, "tavo/desk/last_call") >= 2; }))
        << log.Text();
    const auto ends = watcher.On("tavo/desk/call_end");
    ASSERT_EQ(ends.size(), 1u);
    EXPECT_EQ(ends[0].payload, CallEndMessages("tavo/desk", EndOf(call, true), &call)[0].payload);
    const auto last = watcher.On("tavo/desk/last_call");
    EXPECT_EQ(last[0].payload, CallJson(call));
    EXPECT_NE(last[1].payload.find("\"outcome\":\"answered\""), std::string::npos);
    // The call itself went out once, unchanged.
    ASSERT_EQ(watcher.On("tavo/desk/call").size(), 1u);
    EXPECT_EQ(watcher.On("tavo/desk/call")[0].payload, CallJson(call));
}

std::string Dump(const std::vector<ReceivedMessage>& messages) {
    std::string text;
    for (const ReceivedMessage& m : messages)
        text += m.topic + " " + m.payload + (m.retained ? " (retained)\n" : "\n");
    return text;
}

std::vector<std::string> CalledNumbers(const std::vector<ReceivedMessage>& messages) {
    std::vector<std::string> numbers;
    for (const ReceivedMessage& m : messages) {
        if (m.topic != "tavo/r/call")
            continue;
        const size_t at = m.payload.find("\"number\":\"") + 10;
        const std::string number = m.payload.substr(at, m.payload.find('"', at) - at);
        // QoS 1 is at least once: the broker may deliver a message in flight again.
        if (std::find(numbers.begin(), numbers.end(), number) == numbers.end())
            numbers.push_back(number);
    }
    return numbers;
}

TEST(MqttPublisher, CallsWaitForARestartedBrokerWithinTheBound) {
    TestBroker broker;
    ASSERT_TRUE(broker.Start());
    TestSubscriber watcher(broker.port, "tavo/r/#");
    ASSERT_TRUE(watcher.WaitSubscribed());

    Log log;
    MqttPublisherOptions options;
    options.backlogMessages = 6; // three calls
    options.firstRetry = std::chrono::milliseconds(100);
    options.maxRetry = std::chrono::milliseconds(400);
    options.log = log.Sink();
    MqttSettings settings = BrokerSettings(broker, "tavo/r");
    settings.discovery = false;
    MqttPublisher publisher(settings, options);
    std::string error;
    ASSERT_TRUE(publisher.Start(error)) << error;
    const auto waitConnected = [&](bool wanted) {
        for (int i = 0; i < 1000 && publisher.Connected() != wanted; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return publisher.Connected() == wanted;
    };
    const auto post = [&](int from, int to) {
        for (int i = from; i <= to; ++i)
            publisher.Post(SampleCall("0301" + std::to_string(i)));
    };

    post(1, 1);
    ASSERT_TRUE(watcher.WaitFor([](const auto& m) { return CalledNumbers(m).size() == 1; }));

    // Away: three calls fit and all arrive once the broker is back.
    broker.Stop();
    ASSERT_TRUE(waitConnected(false));
    post(2, 4);
    ASSERT_TRUE(broker.Start()) << broker.Transcript();
    ASSERT_TRUE(watcher.WaitFor([](const auto& m) { return CalledNumbers(m).size() == 4; }))
        << log.Text() << Dump(watcher.Messages()) << broker.Transcript();

    // Away again: five calls do not fit; the two oldest go, and the log says so.
    broker.Stop();
    ASSERT_TRUE(waitConnected(false));
    post(5, 9);
    ASSERT_TRUE(broker.Start());
    ASSERT_TRUE(watcher.WaitFor([](const auto& m) { return CalledNumbers(m).size() == 7; }))
        << log.Text() << Dump(watcher.Messages());
    EXPECT_EQ(
        CalledNumbers(watcher.Messages()),
        (std::vector<std::string>{"03011", "03012", "03013", "03014", "03017", "03018", "03019"}));
    // The count is logged per batch of events taken from the queue.
    size_t dropped = 0;
    const std::string text = log.Text();
    for (size_t at = text.find("dropped the "); at != std::string::npos;
         at = text.find("dropped the ", at + 1))
        dropped += std::stoul(text.substr(at + 12));
    EXPECT_EQ(dropped, 4u) << text;
    EXPECT_NE(log.Text().find("lost"), std::string::npos) << log.Text();
}

// The states the publisher tells, as they come, from its thread.
struct Statuses {
    OutputStatusSink Sink() {
        return [this](OutputHealth health, const std::string& text) {
            std::lock_guard lock(mutex);
            seen.emplace_back(health, text);
            changed.notify_all();
        };
    }
    // Waits (ten seconds at most) for a state whose text holds `part`.
    bool WaitFor(OutputHealth health, const std::string& part) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(10), [&] {
            return std::any_of(seen.begin(), seen.end(), [&](const auto& s) {
                return s.first == health && s.second.find(part) != std::string::npos;
            });
        });
    }
    std::string Text() {
        std::lock_guard lock(mutex);
        std::string text;
        for (const auto& s : seen)
            text += std::to_string(static_cast<int>(s.first)) + " " + s.second + "\n";
        return text;
    }
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::pair<OutputHealth, std::string>> seen;
};

TEST(MqttPublisher, ARefusedLoginAndABrokerAwayAreToldAsTheStateWithTheReason) {
    TestBroker broker(false);
    ASSERT_TRUE(broker.Start());
    Statuses statuses;
    Log log;
    MqttPublisherOptions options;
    options.firstRetry = std::chrono::milliseconds(100);
    options.maxRetry = std::chrono::milliseconds(200);
    options.status = statuses.Sink();
    options.log = log.Sink();
    MqttSettings settings = BrokerSettings(broker);
    settings.user = "someone";
    settings.password = "wrong";
    {
        MqttPublisher publisher(settings, options);
        std::string error;
        ASSERT_TRUE(publisher.Start(error)) << error;
        EXPECT_TRUE(statuses.WaitFor(OutputHealth::Starting, "connecting to 127.0.0.1:"));
        EXPECT_TRUE(statuses.WaitFor(OutputHealth::Failing, "refused the login"))
            << statuses.Text();
        EXPECT_FALSE(publisher.Connected());
    }
    EXPECT_EQ(statuses.Text().find("wrong"), std::string::npos);
    // Told once in the log however often it is tried again.
    const std::string text = log.Text();
    EXPECT_EQ(text.find("refused the login"), text.rfind("refused the login")) << text;

    // Nothing listening: unreachable, then connected once a broker is there.
    TestBroker open;
    Statuses later;
    options.status = later.Sink();
    MqttPublisher publisher(BrokerSettings(open), options);
    std::string error;
    ASSERT_TRUE(publisher.Start(error)) << error;
    EXPECT_TRUE(later.WaitFor(OutputHealth::Failing, "not reachable")) << later.Text();
    ASSERT_TRUE(open.Start());
    EXPECT_TRUE(later.WaitFor(OutputHealth::Working, "connected to 127.0.0.1:")) << later.Text();
}

TEST(MqttPublisher, AFailedTlsSetUpIsToldAsTls) {
    TestBroker broker;
    ASSERT_TRUE(broker.Start());
    const std::string ca = broker.directory + "/not-a-certificate.pem";
    std::ofstream(ca) << "this is no certificate\n";
    Statuses statuses;
    MqttPublisherOptions options;
    options.status = statuses.Sink();
    options.log = [](const std::string&) {};
    MqttSettings settings = BrokerSettings(broker);
    settings.caFile = ca;
    MqttPublisher publisher(settings, options);
    std::string error;
    ASSERT_TRUE(publisher.Start(error)) << error;
    EXPECT_TRUE(statuses.WaitFor(OutputHealth::Failing, "TLS failed")) << statuses.Text();
}

TEST(MqttPublisher, BaseTopicsNothingCanBePublishedUnderAreRefusedByName) {
    struct Case {
        const char* topic;
        const char* said;
    };
    for (const Case& c : {Case{"house/+/phone", "holds \"+\""}, Case{"house/#", "holds \"#\""},
                          Case{"$SYS/tavo", "begins with \"$\""}}) {
        MqttSettings settings;
        settings.baseTopic = c.topic;
        std::string error;
        EXPECT_FALSE(MqttPublisher(settings).Start(error)) << c.topic;
        EXPECT_NE(error.find("[mqtt] base_topic"), std::string::npos) << error;
        EXPECT_NE(error.find(c.said), std::string::npos) << error;
    }
    MqttSettings fine;
    fine.baseTopic = "house/tavo$1";
    EXPECT_EQ(MqttBaseTopicProblem(fine.baseTopic), "");
}

TEST(MqttPublisher, SettingsThatCannotWorkAreRefused) {
    MqttSettings settings;
    settings.host.clear();
    std::string error;
    EXPECT_FALSE(MqttPublisher(settings).Start(error));
    EXPECT_NE(error.find("[mqtt] host"), std::string::npos);

    settings.host = "localhost";
    settings.caFile = "/nonexistent/ca.pem";
    EXPECT_FALSE(MqttPublisher(settings).Start(error));
    EXPECT_NE(error.find("/nonexistent/ca.pem"), std::string::npos);
}

} // namespace
