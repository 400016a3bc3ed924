#include "platform/xdg_mail_client.h"

#include "platform/files.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <spawn.h>
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

} // namespace

XdgMailClient::XdgMailClient(Paths paths, const Clock &clock, Log &log, std::string program)
    : paths_(std::move(paths)), clock_(clock), log_(log), program_(std::move(program)) {
}

std::optional<fs::path> XdgMailClient::programPath() const {
    if (program_.empty()) return std::nullopt;
    if (program_.find('/') != std::string::npos) {
        if (isExecutable(program_)) return fs::path(program_);
        return std::nullopt;
    }
    const char *path = std::getenv("PATH");
    std::string_view rest = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
    while (true) {
        const std::size_t colon = rest.find(':');
        const std::string_view dir = rest.substr(0, colon);
        const fs::path candidate = fs::path(dir.empty() ? "." : std::string(dir)) / program_;
        if (isExecutable(candidate)) return candidate;
        if (colon == std::string_view::npos) return std::nullopt;
        rest.remove_prefix(colon + 1);
    }
}

bool XdgMailClient::canSendMail() const {
    return programPath().has_value();
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

MailResult XdgMailClient::compose(const MailMessage &message) {
    const std::optional<fs::path> program = programPath();
    if (!program) return {false, "no mail client: " + program_ + " was not found"};

    std::string error;
    const std::optional<fs::path> folder = newMessageFolder(error);
    if (!folder) return {false, error};
    lastMessageFolder = *folder;
    const std::string boundary = "byteward-" + folder->filename().string();
    if (FileResult written = writeFileAtomically(*folder / kMessageFileName,
                                                 mimeMessage(message, clock_.now(), boundary));
        !written.ok())
        return {false, written.error};

    std::vector<std::string> args = {program->string(), "--utf8", "--subject",
                                     message.subject,   "--body", plainTextBody(message)};
    for (const auto &attachment : message.attachments) {
        const fs::path file = *folder / safeFileName(attachment.fileName);
        if (FileResult written = writeFileAtomically(file, attachment.data); !written.ok())
            return {false, written.error};
        args.insert(args.end(), {"--attach", file.string()});
    }
    for (const auto &recipient : message.recipients) {
        // xdg-email would read an address starting with a dash as an option.
        if (recipient.empty() || recipient.front() == '-') {
            log_.line("Skipping the recipient \"" + recipient + "\": not an address");
            continue;
        }
        args.push_back(recipient);
    }
    pruneOutbox();

    std::vector<char *> argv;
    for (auto &arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (const int code =
            ::posix_spawn(&pid, program->c_str(), nullptr, nullptr, argv.data(), environ);
        code != 0)
        return {false, program->string() + ": " + std::strerror(code)};

    const auto deadline = std::chrono::steady_clock::now() + handOffWait;
    while (true) {
        int status = 0;
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid) {
            if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return {true, {}};
            return {false, program->string() + " " + exitText(status)};
        }
        if (done < 0 && errno != EINTR)
            return {false, program->string() + ": " + std::strerror(errno)};
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

} // namespace byteward
