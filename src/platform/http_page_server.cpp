// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/http_page_server.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cstring>
#include <list>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace byteward {

namespace {

using SteadyClock = std::chrono::steady_clock;

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string trim(const std::string &text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::string response(int status, const char *reason, const std::string &contentType,
                     const std::string &body, bool withBody, const char *extraHeader = nullptr) {
    std::string out = "HTTP/1.1 " + std::to_string(status) + ' ' + reason + "\r\n";
    out += "Content-Type: " + contentType + "\r\n";
    out += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    if (extraHeader != nullptr) out += std::string(extraHeader) + "\r\n";
    out += "Connection: close\r\n\r\n";
    if (withBody) out += body;
    return out;
}

std::string error(int status, const char *reason, const char *extraHeader = nullptr) {
    return response(status, reason, "text/plain; charset=utf-8", std::string(reason) + '\n', true,
                    extraHeader);
}

// Where the request's header block ends (after its blank line), or npos while it has not.
std::size_t headerEnd(const std::string &buffer) {
    const auto crlf = buffer.find("\r\n\r\n");
    const auto lf = buffer.find("\n\n");
    if (crlf == std::string::npos && lf == std::string::npos) return std::string::npos;
    if (lf == std::string::npos || (crlf != std::string::npos && crlf < lf)) return crlf + 4;
    return lf + 2;
}

std::string describe(const sockaddr_storage &address) {
    char host[INET6_ADDRSTRLEN] = {};
    // Appended piece by piece: GCC 12 warns falsely about "[" + text at -O3.
    std::string out;
    if (address.ss_family == AF_INET6) {
        const auto &in6 = reinterpret_cast<const sockaddr_in6 &>(address);
        inet_ntop(AF_INET6, &in6.sin6_addr, host, sizeof host);
        out += '[';
        out += host;
        out += "]:";
        out += std::to_string(ntohs(in6.sin6_port));
        return out;
    }
    const auto &in4 = reinterpret_cast<const sockaddr_in &>(address);
    inet_ntop(AF_INET, &in4.sin_addr, host, sizeof host);
    out += host;
    out += ':';
    out += std::to_string(ntohs(in4.sin_port));
    return out;
}

} // namespace

std::optional<ListenAddress> parseListenAddress(const std::string &text) {
    ListenAddress address{"127.0.0.1", text};
    if (const auto colon = text.rfind(':'); colon != std::string::npos) {
        std::string host = text.substr(0, colon);
        address.port = text.substr(colon + 1);
        if (host.size() >= 2 && host.front() == '[' && host.back() == ']')
            host = host.substr(1, host.size() - 2);
        else if (host.find(':') != std::string::npos)
            return std::nullopt; // an IPv6 address needs its brackets
        if (!host.empty()) address.host = host;
    }
    int port = -1;
    const char *end = address.port.data() + address.port.size();
    const auto [stop, failed] = std::from_chars(address.port.data(), end, port);
    if (address.port.empty() || failed != std::errc() || stop != end || port < 0 || port > 65535)
        return std::nullopt;
    return address;
}

// One client: what it sent so far, then the answer being written.
struct HttpPageServer::Connection {
    int fd = -1;
    SteadyClock::time_point deadline;
    std::string in;
    std::string out;
    std::size_t written = 0;
    bool answering = false;
};

HttpPageServer::HttpPageServer(const ListenAddress &address, std::string path,
                               std::string contentType, Log &log, Limits limits)
    : path_(std::move(path)), contentType_(std::move(contentType)), log_(log), limits_(limits) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo *found = nullptr;
    const std::string where = address.host + " port " + address.port;
    if (const int status = getaddrinfo(address.host.c_str(), address.port.c_str(), &hints, &found);
        status != 0)
        throw std::runtime_error("cannot listen on " + where + ": " + gai_strerror(status));
    std::unique_ptr<addrinfo, decltype(&freeaddrinfo)> results(found, freeaddrinfo);

    listenFd_ = ::socket(found->ai_family, found->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                         found->ai_protocol);
    const int on = 1;
    if (listenFd_ < 0 || ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0 ||
        ::bind(listenFd_, found->ai_addr, found->ai_addrlen) != 0 ||
        ::listen(listenFd_, static_cast<int>(limits_.maxConnections)) != 0) {
        const std::string why = std::strerror(errno);
        if (listenFd_ >= 0) ::close(listenFd_);
        throw std::runtime_error("cannot listen on " + where + ": " + why);
    }
    sockaddr_storage bound{};
    socklen_t length = sizeof bound;
    ::getsockname(listenFd_, reinterpret_cast<sockaddr *>(&bound), &length);
    bound_ = describe(bound);

    wakeFd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wakeFd_ < 0) {
        const std::string why = std::strerror(errno);
        ::close(listenFd_);
        throw std::runtime_error("cannot serve " + bound_ + ": " + why);
    }
    thread_ = std::thread([this] { serve(); });
}

HttpPageServer::~HttpPageServer() {
    const eventfd_t one = 1;
    eventfd_write(wakeFd_, one);
    thread_.join();
    ::close(wakeFd_);
    ::close(listenFd_);
}

void HttpPageServer::publish(std::string body) {
    auto page = std::make_shared<const std::string>(std::move(body));
    const std::lock_guard lock(pageMutex_);
    page_ = std::move(page);
}

std::shared_ptr<const std::string> HttpPageServer::page() const {
    const std::lock_guard lock(pageMutex_);
    return page_;
}

std::string HttpPageServer::answer(const std::string &request) const {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < request.size()) {
        auto end = request.find('\n', start);
        if (end == std::string::npos) end = request.size();
        std::string line = request.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) break;
        lines.push_back(std::move(line));
        start = end + 1;
    }
    if (lines.empty()) return error(400, "Bad Request");

    // METHOD SP TARGET SP HTTP/1.x, nothing else.
    const std::string &requestLine = lines.front();
    const auto firstSpace = requestLine.find(' ');
    const auto secondSpace = requestLine.find(' ', firstSpace + 1);
    if (firstSpace == std::string::npos || secondSpace == std::string::npos ||
        requestLine.find(' ', secondSpace + 1) != std::string::npos)
        return error(400, "Bad Request");
    const std::string method = requestLine.substr(0, firstSpace);
    std::string target = requestLine.substr(firstSpace + 1, secondSpace - firstSpace - 1);
    const std::string version = requestLine.substr(secondSpace + 1);
    if (version.rfind("HTTP/1.", 0) != 0 || version.size() != 8) return error(400, "Bad Request");

    for (std::size_t i = 1; i < lines.size(); ++i) {
        const auto colon = lines[i].find(':');
        if (colon == std::string::npos || colon == 0) return error(400, "Bad Request");
        const std::string name = lower(lines[i].substr(0, colon));
        const std::string value = trim(lines[i].substr(colon + 1));
        // A body would have to be read; none is accepted.
        if (name == "transfer-encoding" || (name == "content-length" && value != "0"))
            return error(413, "Content Too Large");
    }

    if (const auto query = target.find('?'); query != std::string::npos) target.resize(query);
    if (target != path_) return error(404, "Not Found");
    if (method != "GET" && method != "HEAD")
        return error(405, "Method Not Allowed", "Allow: GET, HEAD");
    const auto body = page();
    if (!body) return error(503, "Service Unavailable");
    return response(200, "OK", contentType_, *body, method == "GET");
}

void HttpPageServer::serve() {
    std::list<Connection> connections;
    auto close = [&](std::list<Connection>::iterator it) {
        ::close(it->fd);
        return connections.erase(it);
    };
    auto startAnswer = [&](Connection &c, std::string text) {
        c.answering = true;
        c.out = std::move(text);
        c.written = 0;
        c.in.clear();
        c.in.shrink_to_fit();
    };

    while (true) {
        const auto now = SteadyClock::now();
        // Those out of time: one that never finished its request is told so (if it reads), one
        // that does not take its answer is dropped.
        for (auto it = connections.begin(); it != connections.end();) {
            if (now < it->deadline) {
                ++it;
                continue;
            }
            if (!it->answering) {
                const std::string late = error(408, "Request Timeout");
                [[maybe_unused]] const ssize_t sent =
                    ::send(it->fd, late.data(), late.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
            }
            it = close(it);
        }

        std::vector<pollfd> fds;
        fds.push_back({wakeFd_, POLLIN, 0});
        fds.push_back({listenFd_, POLLIN, 0});
        auto next = SteadyClock::time_point::max();
        for (const Connection &c : connections) {
            fds.push_back({c.fd, static_cast<short>(c.answering ? POLLIN | POLLOUT : POLLIN), 0});
            next = std::min(next, c.deadline);
        }
        int timeout = -1;
        if (next != SteadyClock::time_point::max()) {
            const auto wait = std::chrono::ceil<std::chrono::milliseconds>(next - now).count();
            timeout = static_cast<int>(std::clamp<long long>(wait, 0, INT_MAX));
        }
        if (::poll(fds.data(), fds.size(), timeout) < 0) {
            if (errno == EINTR) continue;
            log_.line(std::string("Metrics: cannot wait for requests: ") + std::strerror(errno));
            break;
        }
        if (fds[0].revents != 0) break;

        std::size_t index = 2;
        for (auto it = connections.begin(); it != connections.end(); ++index) {
            Connection &c = *it;
            const short events = fds[index].revents;
            if (events == 0) {
                ++it;
                continue;
            }
            if (c.answering) {
                // What the client still sends is read and dropped: closing on unread input would
                // reset the connection and could lose the answer on its way.
                if ((events & POLLIN) != 0) {
                    char discard[4096];
                    [[maybe_unused]] const ssize_t dropped =
                        ::recv(c.fd, discard, sizeof discard, MSG_DONTWAIT);
                }
                if ((events & POLLOUT) == 0 && (events & (POLLERR | POLLHUP)) == 0) {
                    ++it;
                    continue;
                }
                const ssize_t sent = ::send(c.fd, c.out.data() + c.written,
                                            c.out.size() - c.written, MSG_NOSIGNAL | MSG_DONTWAIT);
                if (sent > 0) c.written += static_cast<std::size_t>(sent);
                if ((sent < 0 && errno != EAGAIN && errno != EINTR) || c.written == c.out.size()) {
                    ::shutdown(c.fd, SHUT_WR);
                    it = close(it);
                    continue;
                }
                ++it;
                continue;
            }
            char buffer[4096];
            const ssize_t got = ::recv(c.fd, buffer, sizeof buffer, MSG_DONTWAIT);
            if (got == 0 || (got < 0 && errno != EAGAIN && errno != EINTR)) {
                it = close(it);
                continue;
            }
            if (got > 0) c.in.append(buffer, static_cast<std::size_t>(got));
            if (const auto end = headerEnd(c.in);
                end != std::string::npos && end <= limits_.maxRequestBytes) {
                startAnswer(c, answer(c.in.substr(0, end)));
            } else if (c.in.size() > limits_.maxRequestBytes) {
                const bool lineEnded = c.in.find('\n') < limits_.maxRequestBytes;
                startAnswer(c, lineEnded ? error(431, "Request Header Fields Too Large")
                                         : error(414, "URI Too Long"));
            }
            ++it;
        }

        if (fds[1].revents != 0) {
            while (true) {
                const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
                if (fd < 0) break;
                // Beyond the bound a client is closed unanswered; the ones being served go on.
                if (connections.size() >= limits_.maxConnections) {
                    ::close(fd);
                    continue;
                }
                connections.push_back({fd, SteadyClock::now() + limits_.timeout, {}, {}, 0, false});
            }
        }
    }
    for (auto it = connections.begin(); it != connections.end();)
        it = close(it);
}

} // namespace byteward
