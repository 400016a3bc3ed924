// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <chrono>
#include <cstddef>
#include <string>

namespace byteward {

// One HTTP(S) GET: where, who asks, for how long and how much is accepted.
struct HttpRequest {
    std::string url;
    std::string userAgent;
    std::chrono::milliseconds timeout{5000}; // for the whole request
    std::size_t maximumBytes = 0;            // a longer answer is a failure
};

// What came back: the status and body, or why there was no answer.
struct HttpResponse {
    long status = 0;
    std::string body;
    std::string error; // empty when the server answered
};

// Fetches over http and https, following no redirects. Its libcurl implementation is the module
// kHttpModule, loaded at the first request (platform/module.h).
class HttpGetter {
  public:
    virtual HttpResponse get(const HttpRequest &request) const = 0;

  protected:
    ~HttpGetter() = default;
};

inline constexpr const char *kHttpModule = "byteward-http.so";
inline constexpr const char *kHttpGetterFactory = "byteward_http_getter";

} // namespace byteward

// The module's one getter, alive as long as the module; safe to use from several threads.
extern "C" const byteward::HttpGetter *byteward_http_getter();
