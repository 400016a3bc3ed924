// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/log.h"

#include <chrono>
#include <cstddef>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace byteward {

// Where to listen: a numeric or named host and a port.
struct ListenAddress {
    std::string host;
    std::string port;
};

// Reads "PORT", ":PORT", "HOST:PORT" or "[IPV6]:PORT"; without a host, the loopback address.
// Empty when the text is none of these or the port is not a number from 0 to 65535.
std::optional<ListenAddress> parseListenAddress(const std::string &text);

// A very small HTTP/1.x server of one page, on a thread of its own: answers GET and HEAD of one
// path with the text last published, and nothing else. It reads one request line and its headers
// within size and time limits, accepts no request body, answers each connection once and closes
// it, and serves a bounded number of connections at a time (more are closed unanswered). So a
// scraper that misbehaves costs a little memory for a few seconds, and never stalls the process
// that publishes.
class HttpPageServer {
  public:
    struct Limits {
        std::size_t maxRequestBytes = 8192;      // the request line and all headers
        std::chrono::milliseconds timeout{5000}; // from accepting to the last byte of the answer
        std::size_t maxConnections = 16;
    };

    // Listens at once; throws std::runtime_error saying why when it cannot.
    HttpPageServer(const ListenAddress &address, std::string path, std::string contentType,
                   Log &log, Limits limits);
    HttpPageServer(const ListenAddress &address, std::string path, std::string contentType,
                   Log &log)
        : HttpPageServer(address, std::move(path), std::move(contentType), log, Limits{}) {}
    ~HttpPageServer();
    HttpPageServer(const HttpPageServer &) = delete;
    HttpPageServer &operator=(const HttpPageServer &) = delete;

    // The page the next requests get. Until the first, they get 503.
    void publish(std::string body);
    // The address as bound, port included ("127.0.0.1:9101", "[::1]:9101").
    const std::string &boundAddress() const { return bound_; }

  private:
    struct Connection;
    void serve();
    std::shared_ptr<const std::string> page() const;
    std::string answer(const std::string &request) const;

    std::string path_;
    std::string contentType_;
    Log &log_;
    Limits limits_;
    int listenFd_ = -1;
    int wakeFd_ = -1;
    std::string bound_;
    mutable std::mutex pageMutex_;
    std::shared_ptr<const std::string> page_;
    std::thread thread_;
};

} // namespace byteward
