// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "appstats/cgroup_tree.h"

#include "appstats/user_snapshot.h"

#include <charconv>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>
#include <vector>

#ifndef CGROUP2_SUPER_MAGIC
#define CGROUP2_SUPER_MAGIC 0x63677270
#endif

namespace byteward::appstats {

namespace {

bool isCgroup2(const std::string &path) {
    struct statfs fs {};
    return statfs(path.c_str(), &fs) == 0 && fs.f_type == CGROUP2_SUPER_MAGIC;
}

// The names in an open folder, of sub-folders only when asked; the folder stays open.
std::vector<std::string> entries(int fd, bool foldersOnly = false) {
    std::vector<std::string> names;
    const int copy = fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (copy < 0)
        return names;
    DIR *dir = fdopendir(copy);
    if (!dir) {
        close(copy);
        return names;
    }
    // The copy shares the folder's read position, which an earlier walk left at the end.
    rewinddir(dir);
    while (const dirent *entry = readdir(dir)) {
        if ((foldersOnly && entry->d_type != DT_DIR) || std::strcmp(entry->d_name, ".") == 0 ||
            std::strcmp(entry->d_name, "..") == 0)
            continue;
        names.emplace_back(entry->d_name);
    }
    closedir(dir);
    return names;
}

void walk(int fd, const std::string &path, int depth, CgroupScan &scan) {
    if (depth >= kMaxDepth)
        return;
    for (const std::string &name : entries(fd, true)) {
        const int child = openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (child < 0)
            continue; // removed since the listing, or hidden from us
        struct stat st {};
        if (fstat(child, &st) == 0) {
            std::string childPath = path;
            childPath.append("/").append(name);
            scan.paths[st.st_ino] = childPath;
            // A user's slice is exactly /user.slice/user-UID.slice.
            if (depth == 1 && path == "/user.slice")
                if (auto uid = uidOfPath(childPath))
                    scan.userSlices.insert(*uid);
            walk(child, childPath, depth + 1, scan);
        }
        close(child);
    }
}

} // namespace

std::string findCgroup2Root(const std::string &given, std::string &error) {
    if (!given.empty()) {
        if (isCgroup2(given))
            return given;
        error = given + " is not a cgroup v2 file system";
        return {};
    }
    for (const char *candidate : {"/sys/fs/cgroup", "/sys/fs/cgroup/unified"})
        if (isCgroup2(candidate))
            return candidate;
    error = "no cgroup v2 hierarchy at /sys/fs/cgroup or /sys/fs/cgroup/unified";
    return {};
}

CgroupScan scanCgroups(int rootFd) {
    CgroupScan scan;
    struct stat st {};
    if (fstat(rootFd, &st) == 0)
        scan.paths[st.st_ino] = "/";
    walk(rootFd, "", 0, scan);
    return scan;
}

TrafficLedger::InterfaceNames interfaceNames() {
    // From sysfs rather than netlink, which the service's sandbox does not allow.
    TrafficLedger::InterfaceNames names;
    const int net = open("/sys/class/net", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (net < 0)
        return names;
    for (const std::string &name : entries(net)) {
        const int fd = openat(net, (name + "/ifindex").c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            continue;
        char text[32] = {};
        const ssize_t got = read(fd, text, sizeof text - 1);
        close(fd);
        std::uint32_t index = 0;
        if (got > 0 && std::from_chars(text, text + got, index).ec == std::errc{} && index != 0)
            names[index] = name;
    }
    close(net);
    return names;
}

} // namespace byteward::appstats
