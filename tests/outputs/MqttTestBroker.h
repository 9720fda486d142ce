#pragma once
// A real mosquitto broker on a free port of 127.0.0.1 for one test, with its sessions kept on
// disk so that a restarted broker still knows its subscribers; and a subscriber that records
// every message it gets.

#include "ChildProcess.h"

#include <mosquitto.h>

#include <arpa/inet.h>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

inline int FreeLocalPort() {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

class TestBroker {
public:
    // `anonymous` false: every client without a known login is refused.
    explicit TestBroker(bool anonymous = true) : port(FreeLocalPort()) {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "tavo-mqtt-XXXXXX").string();
        directory = ::mkdtemp(pattern.data());
        std::ofstream(directory + "/mosquitto.conf")
            << "listener " << port << " 127.0.0.1\n"
            << "allow_anonymous " << (anonymous ? "true" : "false")
            << "\n"
            // Started by root, the broker would run as another user that cannot write here.
            << "user root\n"
            << "persistence true\n"
            << "persistence_location " << directory << "/\n";
    }
    ~TestBroker() {
        Stop();
        std::filesystem::remove_all(directory);
    }
    // Starts the broker and waits until it takes connections.
    bool Start() {
        process = std::make_unique<ChildProcess>();
        if (!process->Start({"/usr/sbin/mosquitto", "-c", directory + "/mosquitto.conf"}))
            return false;
        for (int tries = 0; tries < 250; ++tries) {
            int fd = ::socket(AF_INET, SOCK_STREAM, 0);
            sockaddr_in address{};
            address.sin_family = AF_INET;
            address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            address.sin_port = htons(static_cast<uint16_t>(port));
            const bool up =
                ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
            ::close(fd);
            if (up)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }
    // Ends the broker as a stop of its service would (it writes its sessions to disk first).
    void Stop() {
        if (!process)
            return;
        process->Kill(SIGTERM);
        process->Wait(std::chrono::seconds(10));
        process.reset();
    }
    std::string Transcript() const { return process ? process->Transcript() : ""; }
    pid_t Pid() const { return process ? process->Pid() : -1; }

    const int port;

    // The broker's own directory, removed with it.
    std::string directory;

private:
    std::unique_ptr<ChildProcess> process;
};

struct ReceivedMessage {
    std::string topic;
    std::string payload;
    bool retained = false;
};

// Subscribes to `filter` with QoS 1 in a session the broker keeps while it is away; reconnects
// by itself.
class TestSubscriber {
public:
    TestSubscriber(int port, std::string filter, std::string id = "tavo-test-subscriber")
        : filter(std::move(filter)) {
        mosquitto_lib_init();
        client = mosquitto_new(id.c_str(), false, this);
        mosquitto_connect_callback_set(client, [](mosquitto* m, void* self, int rc) {
            if (rc == 0)
                mosquitto_subscribe(m, nullptr, static_cast<TestSubscriber*>(self)->filter.c_str(),
                                    1);
        });
        mosquitto_subscribe_callback_set(client, [](mosquitto*, void* self, int, int, const int*) {
            auto& me = *static_cast<TestSubscriber*>(self);
            std::lock_guard lock(me.mutex);
            me.subscribed = true;
            me.changed.notify_all();
        });
        mosquitto_message_callback_set(
            client, [](mosquitto*, void* self, const mosquitto_message* message) {
                auto& me = *static_cast<TestSubscriber*>(self);
                std::lock_guard lock(me.mutex);
                me.messages.push_back({message->topic,
                                       std::string(static_cast<const char*>(message->payload),
                                                   static_cast<size_t>(message->payloadlen)),
                                       message->retain});
                me.changed.notify_all();
            });
        mosquitto_reconnect_delay_set(client, 1, 1, false);
        mosquitto_connect_async(client, "127.0.0.1", port, 60);
        mosquitto_loop_start(client);
    }
    ~TestSubscriber() {
        mosquitto_disconnect(client);
        mosquitto_loop_stop(client, true);
        mosquitto_destroy(client);
    }
    bool WaitSubscribed() {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(10), [&] { return subscribed; });
    }
    // Waits until `done` holds for the messages so far.
    bool WaitFor(const std::function<bool(const std::vector<ReceivedMessage>&)>& done,
                 std::chrono::seconds limit = std::chrono::seconds(20)) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, limit, [&] { return done(messages); });
    }
    std::vector<ReceivedMessage> Messages() {
        std::lock_guard lock(mutex);
        return messages;
    }
    std::vector<ReceivedMessage> On(const std::string& topic) {
        std::vector<ReceivedMessage> found;
        for (const ReceivedMessage& m : Messages())
            if (m.topic == topic)
                found.push_back(m);
        return found;
    }

private:
    std::string filter;
    mosquitto* client;
    std::mutex mutex;
    std::condition_variable changed;
    bool subscribed = false;
    std::vector<ReceivedMessage> messages;
};

inline size_t CountOn(const std::vector<ReceivedMessage>& messages, const std::string& topic) {
    size_t n = 0;
    for (const ReceivedMessage& m : messages)
        n += m.topic == topic;
    return n;
}
