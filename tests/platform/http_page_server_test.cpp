// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/http_page_server.h"
#include "support/test_env.h"

#include <arpa/inet.h>
#include <chrono>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace byteward {
namespace {

using namespace std::chrono_literals;

TEST(ListenAddress, ReadsThePortAndAnOptionalHost) {
    const struct {
        const char *text;
        std::optional<ListenAddress> want;
    } cases[] = {
        {"9100", ListenAddress{"127.0.0.1", "9100"}},
        {":9100", ListenAddress{"127.0.0.1", "9100"}},
        {"0.0.0.0:9100", ListenAddress{"0.0.0.0", "9100"}},
        {"[::1]:0", ListenAddress{"::1", "0"}},
        {"localhost:65535", ListenAddress{"localhost", "65535"}},
        {"::1:9100", std::nullopt},
        {"65536", std::nullopt},
        {"-1", std::nullopt},
        {"9100x", std::nullopt},
        {"host:", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto &c : cases) {
        const auto got = parseListenAddress(c.text);
        ASSERT_EQ(got.has_value(), c.want.has_value()) << c.text;
        if (got) {
            EXPECT_EQ(got->host + " " + got->port, c.want.value().host + " " + c.want.value().port);
        }
    }
}

class HttpPageServerTest : public ::testing::Test {
  protected:
    static constexpr HttpPageServer::Limits kLimits{1024, 300ms, 4};

    int connectToServer() const {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const std::string bound = server.boundAddress();
        to.sin_port =
            htons(static_cast<std::uint16_t>(std::stoi(bound.substr(bound.rfind(':') + 1))));
        EXPECT_EQ(::connect(fd, reinterpret_cast<sockaddr *>(&to), sizeof to), 0);
        return fd;
    }
    // Everything the server says until it closes, waiting at most `limit`.
    static std::string readAll(int fd, std::chrono::milliseconds limit = 2s) {
        std::string out;
        const auto until = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < until) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0) continue;
            char buffer[4096];
            const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
            if (got <= 0) break;
            out.append(buffer, static_cast<std::size_t>(got));
        }
        return out;
    }
    std::string exchange(const std::string &request) const {
        const int fd = connectToServer();
        ::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
        std::string answer = readAll(fd);
        ::close(fd);
        return answer;
    }
    static std::string statusLine(const std::string &answer) {
        return answer.substr(0, answer.find("\r\n"));
    }

    test::CapturingLog log;
    HttpPageServer server{ListenAddress{"127.0.0.1", "0"}, "/metrics", "text/plain; version=0.0.4",
                          log, kLimits};
};

TEST_F(HttpPageServerTest, AnswersOnlyAGetOrHeadOfItsPage) {
    server.publish("figures 1\n");
    const std::string longLine = "GET /" + std::string(2000, 'a') + " HTTP/1.1\r\n\r\n";
    const std::string longHeader =
        "GET /metrics HTTP/1.1\r\nX: " + std::string(2000, 'a') + "\r\n\r\n";
    const struct {
        const char *what;
        std::string request;
        const char *status;
    } cases[] = {
        {"a scrape", "GET /metrics HTTP/1.1\r\nHost: x\r\nAccept: */*\r\n\r\n", "HTTP/1.1 200 OK"},
        {"bare line feeds", "GET /metrics HTTP/1.0\n\n", "HTTP/1.1 200 OK"},
        {"a query", "GET /metrics?name=x HTTP/1.1\r\n\r\n", "HTTP/1.1 200 OK"},
        {"HEAD", "HEAD /metrics HTTP/1.1\r\n\r\n", "HTTP/1.1 200 OK"},
        {"another path", "GET / HTTP/1.1\r\n\r\n", "HTTP/1.1 404 Not Found"},
        {"a path that starts alike", "GET /metricsx HTTP/1.1\r\n\r\n", "HTTP/1.1 404 Not Found"},
        {"POST", "POST /metrics HTTP/1.1\r\nContent-Length: 0\r\n\r\n",
         "HTTP/1.1 405 Method Not Allowed"},
        {"DELETE", "DELETE /metrics HTTP/1.1\r\n\r\n", "HTTP/1.1 405 Method Not Allowed"},
        {"a body", "GET /metrics HTTP/1.1\r\nContent-Length: 4\r\n\r\nbody",
         "HTTP/1.1 413 Content Too Large"},
        {"a chunked body", "GET /metrics HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n",
         "HTTP/1.1 413 Content Too Large"},
        {"no version", "GET /metrics\r\n\r\n", "HTTP/1.1 400 Bad Request"},
        {"HTTP/2", "GET /metrics HTTP/2.0\r\n\r\n", "HTTP/1.1 400 Bad Request"},
        {"a header without a colon", "GET /metrics HTTP/1.1\r\nbroken\r\n\r\n",
         "HTTP/1.1 400 Bad Request"},
        {"binary", std::string("\x16\x03\x01\x02\x00\r\n\r\n", 9), "HTTP/1.1 400 Bad Request"},
        {"a long request line", longLine, "HTTP/1.1 414 URI Too Long"},
        {"long headers", longHeader, "HTTP/1.1 431 Request Header Fields Too Large"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const std::string answer = exchange(c.request);
        EXPECT_EQ(statusLine(answer), c.status);
        const bool page = answer.find("figures 1") != std::string::npos;
        EXPECT_EQ(page, c.request.rfind("GET /metrics", 0) == 0 &&
                            std::string(c.status) == "HTTP/1.1 200 OK");
    }
}

TEST_F(HttpPageServerTest, ServesTheLatestPageAndNothingBeforeTheFirst) {
    EXPECT_EQ(statusLine(exchange("GET /metrics HTTP/1.1\r\n\r\n")),
              "HTTP/1.1 503 Service Unavailable");
    server.publish("old\n");
    server.publish("new\n");
    const std::string answer = exchange("GET /metrics HTTP/1.1\r\n\r\n");
    EXPECT_NE(answer.find("Content-Type: text/plain; version=0.0.4\r\n"), std::string::npos);
    EXPECT_NE(answer.find("Content-Length: 4\r\n"), std::string::npos);
    EXPECT_EQ(answer.substr(answer.size() - 8), "\r\n\r\nnew\n");
}

TEST_F(HttpPageServerTest, SlowAndSurplusClientsAreCutOffAndTheNextScrapeIsServed) {
    server.publish("figures\n");
    // Four that never finish fill the server; a fifth is closed at once, unanswered.
    std::vector<int> slow;
    for (int i = 0; i < 4; ++i) {
        slow.push_back(connectToServer());
        ::send(slow.back(), "GET /metr", 9, MSG_NOSIGNAL);
    }
    std::this_thread::sleep_for(50ms);
    const int surplus = connectToServer();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(readAll(surplus, 1s), "");
    EXPECT_LT(std::chrono::steady_clock::now() - start, 250ms);
    ::close(surplus);
    // The slow ones are told they took too long once their time is up.
    for (const int fd : slow) {
        EXPECT_EQ(statusLine(readAll(fd, 2s)), "HTTP/1.1 408 Request Timeout");
        ::close(fd);
    }
    EXPECT_EQ(statusLine(exchange("GET /metrics HTTP/1.1\r\n\r\n")), "HTTP/1.1 200 OK");
}

TEST(HttpPageServer, SaysWhyItCannotListen) {
    test::CapturingLog log;
    HttpPageServer first(ListenAddress{"127.0.0.1", "0"}, "/metrics", "text/plain", log);
    const std::string port = first.boundAddress().substr(first.boundAddress().rfind(':') + 1);
    EXPECT_THROW(HttpPageServer(ListenAddress{"127.0.0.1", port}, "/metrics", "text/plain", log),
                 std::runtime_error);
}

} // namespace
} // namespace byteward
