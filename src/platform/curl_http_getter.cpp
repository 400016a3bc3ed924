// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The HTTP module: GET requests with libcurl. Built as a shared module of its own so that only a
// process that looks a place up maps libcurl and the TLS, HTTP/2 and authentication libraries
// it brings.
#include "platform/http_getter.h"

#include <curl/curl.h>
#include <memory>

namespace byteward {

namespace {

struct Collected {
    std::string body;
    std::size_t limit;
};

std::size_t collect(char *data, std::size_t size, std::size_t count, void *target) {
    auto &collected = *static_cast<Collected *>(target);
    const std::size_t bytes = size * count;
    // Returning less than given makes curl stop with an error.
    if (collected.body.size() + bytes > collected.limit) return 0;
    collected.body.append(data, bytes);
    return bytes;
}

class CurlHttpGetter final : public HttpGetter {
  public:
    CurlHttpGetter() { curl_global_init(CURL_GLOBAL_DEFAULT); }

    HttpResponse get(const HttpRequest &request) const override {
        std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> curl(curl_easy_init(),
                                                                 curl_easy_cleanup);
        if (!curl) return {0, {}, "cannot make an HTTP request"};
        Collected collected{{}, request.maximumBytes};
        char curlError[CURL_ERROR_SIZE] = {};
        curl_easy_setopt(curl.get(), CURLOPT_URL, request.url.c_str());
        curl_easy_setopt(curl.get(), CURLOPT_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(curl.get(), CURLOPT_USERAGENT, request.userAgent.c_str());
        curl_easy_setopt(curl.get(), CURLOPT_TIMEOUT_MS,
                         static_cast<long>(request.timeout.count()));
        // No signals: curl's own timeouts would otherwise raise SIGALRM in a process that
        // blocks it.
        curl_easy_setopt(curl.get(), CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(curl.get(), CURLOPT_WRITEFUNCTION, collect);
        curl_easy_setopt(curl.get(), CURLOPT_WRITEDATA, &collected);
        curl_easy_setopt(curl.get(), CURLOPT_ERRORBUFFER, curlError);

        const CURLcode result = curl_easy_perform(curl.get());
        if (result != CURLE_OK)
            return {0, {}, curlError[0] != '\0' ? curlError : curl_easy_strerror(result)};
        HttpResponse response;
        curl_easy_getinfo(curl.get(), CURLINFO_RESPONSE_CODE, &response.status);
        response.body = std::move(collected.body);
        return response;
    }
};

} // namespace

} // namespace byteward

extern "C" __attribute__((visibility("default"))) const byteward::HttpGetter *
byteward_http_getter() {
    // Made once, on the first request: curl_global_init is not safe to run twice at once.
    static const byteward::CurlHttpGetter getter;
    return &getter;
}
