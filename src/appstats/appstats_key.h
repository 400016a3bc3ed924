// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The layout of the counting map, shared by the BPF programs (C) and the helper (C++).
#pragma once

#include <linux/types.h>

// Enough for every (cgroup, interface) pair alive at once on a busy desktop; removed cgroups
// are taken out at every snapshot.
#define APPSTATS_MAX_ENTRIES 16384

struct appstats_key {
	__u64 cgroup_id; // the inode number of the socket's cgroup v2 directory; 0 when unknown
	__u32 ifindex;   // in the network namespace of the packet's device
	__u32 pad;
};

// Bytes as skb->len gives them at the cgroup hooks: the IP packet, no link-layer header.
struct appstats_value {
	__u64 rx;
	__u64 tx;
};
