// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/xdg_mail_client.h"

#include "platform/files.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <spawn.h>
#include <string_view>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace byteward {

namespace fs = std::filesystem;

namespace {

bool isExecutable(const fs::path &path) {
    std::error_code ec;
    return fs::is_regular_file(path, ec) && ::access(path.c_str(), X_OK) == 0;
}

// A file name that stays inside its folder.
std::string safeFileName(const std::string &name) {
    std::string out = fs::path(name).filename().string();
    std::replace_if(
        out.begin(), out.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; }, '_');
    if (out.empty() || out == "." || out == "..") out = "attachment";
    return out;
}

std::string utcStamp(Instant now) {
    const std::time_t seconds = static_cast<std::time_t>(secondsSince1970(now));
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%dT%H%M%SZ", &utc);
    return text;
}

std::string exitText(int status) {
    if (WIFEXITED(status)) return "exited with status " + std::to_string(WEXITSTATUS(status));
    if (WIFSIGNALED(status)) return "was killed by signal " + std::to_string(WTERMSIG(status));
    return "stopped";
}

// The program of that name in PATH. Empty entries, which would mean the working directory, are
// skipped: a mail client is not to be picked up from wherever the program happens to run.
std::optional<fs::path> findInPath(const std::string &name) {
    const char *path = std::getenv("PATH");
    std::string_view rest = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
    while (true) {
        const std::size_t colon = rest.find(':');
        const std::string_view dir = rest.substr(0, colon);
        if (!dir.empty()) {
            const fs::path candidate = fs::path(std::string(dir)) / name;
            if (isExecutable(candidate)) return candidate;
        }
        if (colon == std::string_view::npos) return std::nullopt;
        rest.remove_prefix(colon + 1);
    }
}

std::string percentEncoded(std::string_view text, std::string_view keep) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        // ASCII only: isalnum would let a legacy locale's letters through unencoded.
        const bool unreserved = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                                (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.' ||
                                c == '~';
        if (unreserved || keep.find(c) != std::string_view::npos) {
            out += c;
        } else {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 15];
        }
    }
    return out;
}

// Thunderbird takes a value in single quotes literally, up to a quote that a comma follows;
// a value holding that pair goes unquoted and percent-encoded instead, which Thunderbird
// decodes.
std::string composeValue(const std::string &value) {
    if (value.find("',") == std::string::npos) return "'" + value + "'";
    return percentEncoded(value, {});
}

std::string joined(const std::vector<std::string> &items) {
    std::string out;
    for (const auto &item : items)
        out += (out.empty() ? "" : ",") + item;
    return out;
}

// Runs the mail program, without a shell, and waits a while for it to say whether it took the
// mail.
MailResult handOff(const fs::path &program, std::vector<std::string> args,
                   std::chrono::milliseconds wait) {
    std::vector<char *> argv;
    argv.reserve(args.size() + 1);
    for (auto &arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (const int code =
            ::posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ);
        code != 0)
        return {false, program.string() + ": " + std::strerror(code)};

    const auto deadline = std::chrono::steady_clock::now() + wait;
    while (true) {
        int status = 0;
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid) {
            if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return {true, {}};
            return {false, program.string() + " " + exitText(status)};
        }
        if (done < 0 && errno != EINTR)
            return {false, program.string() + ": " + std::strerror(errno)};
        if (std::chrono::steady_clock::now() >= deadline) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    // Still running: the mail client it started holds it. Reap it whenever it ends.
    std::thread([pid] {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
    return {true, {}};
}

} // namespace

std::string fileUrl(const fs::path &path) {
    return "file://" + percentEncoded(fs::absolute(path).lexically_normal().string(), "/");
}

std::string thunderbirdComposeArgument(const MailMessage &message,
                                       const std::vector<fs::path> &attachments) {
    std::vector<std::string> pairs;
    if (!message.recipients.empty())
        pairs.push_back("to=" + composeValue(joined(message.recipients)));
    pairs.push_back("subject=" + composeValue(message.subject));
    pairs.push_back("body=" + composeValue(message.body));
    if (!attachments.empty()) {
        std::vector<std::string> urls;
        urls.reserve(attachments.size());
        for (const auto &file : attachments)
            urls.push_back(fileUrl(file));
        pairs.push_back("attachment=" + composeValue(joined(urls)));
    }
    pairs.push_back(std::string("format=") + (message.bodyIsHTML ? "html" : "text"));
    return joined(pairs);
}

XdgMailClient::XdgMailClient(Paths paths, const Clock &clock, Log &log)
    : paths_(std::move(paths)), clock_(clock), log_(log) {
}

bool XdgMailClient::canSendMail() const {
    return findInPath(kThunderbird) || findInPath(kXdgEmail);
}

std::optional<fs::path> XdgMailClient::newMessageFolder(std::string &error) {
    const fs::path outbox = paths_.stateDir / "outbox";
    if (!ensurePrivateDirectory(outbox)) {
        error = outbox.string() + ": cannot create the folder";
        return std::nullopt;
    }
    const std::string stem = utcStamp(clock_.now()) + "-" + std::to_string(::getpid());
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const fs::path folder = outbox / (stem + "-" + std::to_string(++sequence_));
        if (::mkdir(folder.c_str(), 0700) == 0) return folder;
        if (errno != EEXIST) {
            error = folder.string() + ": " + std::strerror(errno);
            return std::nullopt;
        }
    }
    error = outbox.string() + ": no free name for a mail";
    return std::nullopt;
}

void XdgMailClient::pruneOutbox() const {
    std::error_code ec;
    std::vector<fs::path> folders;
    for (const auto &entry : fs::directory_iterator(paths_.stateDir / "outbox", ec))
        if (entry.is_directory(ec)) folders.push_back(entry.path());
    if (static_cast<int>(folders.size()) <= keepMessages) return;
    // Names start with the time, so the oldest sort first.
    std::sort(folders.begin(), folders.end());
    folders.resize(folders.size() - static_cast<std::size_t>(std::max(keepMessages, 0)));
    for (const auto &folder : folders)
        fs::remove_all(folder, ec);
}

std::vector<std::string> XdgMailClient::xdgEmailArguments(const MailMessage &message,
                                                          const std::vector<fs::path> &files) {
    std::vector<std::string> args = {"--utf8", "--subject", message.subject, "--body",
                                     plainTextBody(message)};
    for (const auto &file : files)
        args.insert(args.end(), {"--attach", file.string()});
    for (const auto &recipient : message.recipients) {
        // xdg-email would read an address starting with a dash as an option.
        if (recipient.empty() || recipient.front() == '-') {
            log_.line("Skipping the recipient \"" + recipient + "\": not an address");
            continue;
        }
        args.push_back(recipient);
    }
    return args;
}

MailResult XdgMailClient::compose(const MailMessage &message) {
    MailResult result = handOver(message);
    lastError = result.error;
    return result;
}

MailResult XdgMailClient::handOver(const MailMessage &message) {
    // Thunderbird first: xdg-email cannot pass an HTML body on.
    const std::optional<fs::path> thunderbird = findInPath(kThunderbird);
    const std::optional<fs::path> program = thunderbird ? thunderbird : findInPath(kXdgEmail);
    if (!program)
        return {false, std::string("no mail client: neither ") + kThunderbird + " nor " +
                           kXdgEmail + " is in PATH"};

    std::string error;
    const std::optional<fs::path> folder = newMessageFolder(error);
    if (!folder) return {false, error};
    const std::string boundary = "byteward-" + folder->filename().string();
    const std::optional<std::string> mime = mimeMessage(message, clock_.now(), boundary, &error);
    if (!mime) {
        // No mail is kept, so none is offered as kept.
        std::error_code ec;
        fs::remove(*folder, ec);
        return {false, error};
    }
    lastMessageFolder = *folder;
    if (FileResult written = writeFileAtomically(*folder / kMessageFileName, *mime); !written.ok())
        return {false, written.error};

    std::vector<fs::path> files;
    for (const auto &attachment : message.attachments) {
        fs::path file = *folder / safeFileName(attachment.fileName);
        // Two attachments of one name, or one named like the message, must not overwrite.
        std::error_code ec;
        for (int n = 2; fs::exists(file, ec); ++n)
            file = *folder / (std::to_string(n) + "-" + safeFileName(attachment.fileName));
        if (FileResult written = writeFileAtomically(file, attachment.data); !written.ok())
            return {false, written.error};
        files.push_back(file);
    }
    pruneOutbox();

    std::vector<std::string> args = {program->string()};
    if (thunderbird) {
        args.insert(args.end(), {"-compose", thunderbirdComposeArgument(message, files)});
    } else {
        const std::vector<std::string> rest = xdgEmailArguments(message, files);
        args.insert(args.end(), rest.begin(), rest.end());
    }
    return handOff(*program, std::move(args), handOffWait);
}

} // namespace byteward
