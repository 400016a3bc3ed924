// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/location_fakes.h"

#include <arpa/inet.h>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <netinet/in.h>
#include <poll.h>
#include <sdbus-c++/sdbus-c++.h>
#include <signal.h>
#include <stdexcept>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace byteward::test {

namespace fs = std::filesystem;

PrivateBus::PrivateBus() {
    std::string pattern = (fs::temp_directory_path() / "byteward-bus-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) return;
    dir_ = pattern;
    std::ofstream(dir_ + "/bus.conf")
        << "<busconfig><type>session</type><listen>unix:path=" << dir_
        << "/bus</listen><auth>EXTERNAL</auth><policy context=\"default\">"
           "<allow send_destination=\"*\" eavesdrop=\"true\"/><allow eavesdrop=\"true\"/>"
           "<allow own=\"*\"/></policy></busconfig>\n";
    const std::string command = "dbus-daemon --config-file=" + dir_ +
                                "/bus.conf --fork --print-address=1 --print-pid=1 2>/dev/null";
    FILE *out = popen(command.c_str(), "r");
    if (out == nullptr) return;
    char address[512] = {};
    long pid = -1;
    if (std::fgets(address, sizeof address, out) != nullptr && std::fscanf(out, "%ld", &pid) == 1) {
        address_ = address;
        while (!address_.empty() && address_.back() == '\n')
            address_.pop_back();
        pid_ = static_cast<pid_t>(pid);
    }
    pclose(out);
}

PrivateBus::~PrivateBus() {
    if (pid_ > 0) kill(pid_, SIGTERM);
    std::error_code ignored;
    if (!dir_.empty()) fs::remove_all(dir_, ignored);
}

namespace {

constexpr const char *kManager = "org.freedesktop.GeoClue2.Manager";
constexpr const char *kClient = "org.freedesktop.GeoClue2.Client";
constexpr const char *kLocation = "org.freedesktop.GeoClue2.Location";
constexpr const char *kClientPath = "/org/freedesktop/GeoClue2/Client/1";

} // namespace

struct FakeGeoClue::Server {
    std::unique_ptr<sdbus::IConnection> connection;
    std::unique_ptr<sdbus::IObject> manager;
    std::unique_ptr<sdbus::IObject> client;
    std::vector<std::unique_ptr<sdbus::IObject>> locations;
    sdbus::ObjectPath current{"/"};
};

FakeGeoClue::FakeGeoClue(const std::string &busAddress, std::uint32_t availableAccuracy)
    : server_(std::make_unique<Server>()), wakeFd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
    Server &s = *server_;
    s.connection = sdbus::createSessionBusConnectionWithAddress(busAddress);
    s.connection->requestName("org.freedesktop.GeoClue2");
    s.manager = sdbus::createObject(*s.connection, "/org/freedesktop/GeoClue2/Manager");
    s.manager->registerMethod("GetClient").onInterface(kManager).implementedAs([this] {
        std::lock_guard lock(mutex_);
        ++seen_.clients;
        return sdbus::ObjectPath(kClientPath);
    });
    s.manager->registerProperty("AvailableAccuracyLevel")
        .onInterface(kManager)
        .withGetter([availableAccuracy] { return availableAccuracy; });
    s.manager->finishRegistration();

    s.client = sdbus::createObject(*s.connection, kClientPath);
    auto &client = *s.client;
    client.registerMethod("Start").onInterface(kClient).implementedAs([this] {
        std::lock_guard lock(mutex_);
        if (refusals_ > 0) {
            --refusals_;
            throw sdbus::Error("org.freedesktop.DBus.Error.AccessDenied", "not allowed");
        }
        ++seen_.starts;
        seen_.active = true;
    });
    client.registerMethod("Stop").onInterface(kClient).implementedAs([this] {
        std::lock_guard lock(mutex_);
        ++seen_.stops;
        seen_.active = false;
    });
    client.registerProperty("DesktopId")
        .onInterface(kClient)
        .withGetter([this] {
            std::lock_guard lock(mutex_);
            return seen_.desktopId;
        })
        .withSetter([this](const std::string &id) {
            std::lock_guard lock(mutex_);
            seen_.desktopId = id;
        });
    client.registerProperty("RequestedAccuracyLevel")
        .onInterface(kClient)
        .withGetter([this] {
            std::lock_guard lock(mutex_);
            return seen_.accuracy;
        })
        .withSetter([this](std::uint32_t level) {
            std::lock_guard lock(mutex_);
            seen_.accuracy = level;
        });
    client.registerProperty("DistanceThreshold")
        .onInterface(kClient)
        .withGetter([this] {
            std::lock_guard lock(mutex_);
            return seen_.distanceThreshold;
        })
        .withSetter([this](std::uint32_t metres) {
            std::lock_guard lock(mutex_);
            seen_.distanceThreshold = metres;
        });
    client.registerSignal("LocationUpdated")
        .onInterface(kClient)
        .withParameters<sdbus::ObjectPath, sdbus::ObjectPath>();
    client.finishRegistration();
    thread_ = std::thread([this] { run(); });
}

FakeGeoClue::~FakeGeoClue() {
    stop_ = true;
    eventfd_write(wakeFd_, 1);
    thread_.join();
    close(wakeFd_);
}

void FakeGeoClue::run() {
    while (!stop_) {
        while (server_->connection->processPendingRequest()) {
        }
        std::vector<std::function<void()>> jobs;
        {
            std::lock_guard lock(mutex_);
            jobs.swap(jobs_);
        }
        for (auto &job : jobs)
            job();
        pollfd fds[] = {{server_->connection->getEventLoopPollData().fd, POLLIN, 0},
                        {wakeFd_, POLLIN, 0}};
        ::poll(fds, 2, 50);
        eventfd_t drained;
        eventfd_read(wakeFd_, &drained);
    }
}

void FakeGeoClue::post(std::function<void()> job) {
    {
        std::lock_guard lock(mutex_);
        jobs_.push_back(std::move(job));
    }
    eventfd_write(wakeFd_, 1);
}

void FakeGeoClue::sendFix(double latitude, double longitude, Instant timestamp) {
    std::promise<void> sent;
    post([&] {
        Server &s = *server_;
        const sdbus::ObjectPath path(std::string(kClientPath) + "/Location/" +
                                     std::to_string(s.locations.size() + 1));
        auto location = sdbus::createObject(*s.connection, path);
        const auto since1970 = timestamp.time_since_epoch();
        const auto seconds = std::chrono::floor<std::chrono::seconds>(since1970);
        const sdbus::Struct<std::uint64_t, std::uint64_t> stamp(
            std::tuple<std::uint64_t, std::uint64_t>(
                static_cast<std::uint64_t>(seconds.count()),
                static_cast<std::uint64_t>((since1970 - seconds).count())));
        location->registerProperty("Latitude").onInterface(kLocation).withGetter([latitude] {
            return latitude;
        });
        location->registerProperty("Longitude").onInterface(kLocation).withGetter([longitude] {
            return longitude;
        });
        location->registerProperty("Accuracy").onInterface(kLocation).withGetter([] {
            return 3000.0;
        });
        location->registerProperty("Timestamp").onInterface(kLocation).withGetter([stamp] {
            return stamp;
        });
        location->finishRegistration();
        s.locations.push_back(std::move(location));
        s.client->emitSignal("LocationUpdated").onInterface(kClient).withArguments(s.current, path);
        s.current = path;
        sent.set_value();
    });
    sent.get_future().wait();
}

void FakeGeoClue::refuseStarts(int count) {
    std::lock_guard lock(mutex_);
    refusals_ = count;
}

FakeGeoClue::Seen FakeGeoClue::seen() const {
    std::lock_guard lock(mutex_);
    return seen_;
}

FakeNominatim::FakeNominatim(Responder respond)
    : respond_(std::move(respond)), wakeFd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
    listenFd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (bind(listenFd_, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
        listen(listenFd_, 8) != 0 ||
        getsockname(listenFd_, reinterpret_cast<sockaddr *>(&address), &length) != 0)
        throw std::runtime_error("cannot listen on loopback");
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { run(); });
}

FakeNominatim::~FakeNominatim() {
    eventfd_write(wakeFd_, 1);
    thread_.join();
    close(listenFd_);
    close(wakeFd_);
}

std::vector<FakeNominatim::Request> FakeNominatim::requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

void FakeNominatim::run() {
    for (;;) {
        pollfd fds[] = {{listenFd_, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0 || fds[1].revents != 0) return;
        const int connection = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection < 0) continue;
        serve(connection);
        close(connection);
    }
}

void FakeNominatim::serve(int connection) {
    std::string head;
    char buffer[4096];
    while (head.find("\r\n\r\n") == std::string::npos) {
        const ssize_t got = recv(connection, buffer, sizeof buffer, 0);
        if (got <= 0) return;
        head.append(buffer, static_cast<std::size_t>(got));
    }
    Request request;
    request.at = std::chrono::steady_clock::now();
    const auto firstSpace = head.find(' ');
    request.target = head.substr(firstSpace + 1, head.find(' ', firstSpace + 1) - firstSpace - 1);
    if (const auto agent = head.find("\r\nUser-Agent: "); agent != std::string::npos) {
        const auto start = agent + 14;
        request.userAgent = head.substr(start, head.find("\r\n", start) - start);
    }
    {
        std::lock_guard lock(mutex_);
        requests_.push_back(request);
    }
    const auto [status, body] = respond_(request.target);
    const std::string reply = "HTTP/1.1 " + std::to_string(status) +
                              " Answer\r\nContent-Type: application/json\r\nContent-Length: " +
                              std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
    for (std::size_t sent = 0; sent < reply.size();) {
        const ssize_t wrote =
            send(connection, reply.data() + sent, reply.size() - sent, MSG_NOSIGNAL);
        if (wrote <= 0) return;
        sent += static_cast<std::size_t>(wrote);
    }
}

std::string nominatimAnswer(const std::string &town, const std::string &state) {
    return R"({"place_id":1,"lat":"0","lon":"0","display_name":")" + town + ", " + state +
           R"(","address":{"town":")" + town + R"(","state":")" + state +
           R"(","country":"Somewhere","country_code":"sw"}})";
}

} // namespace byteward::test
