// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Counts the bytes of every packet per (cgroup of its socket, interface), in both directions.
// Only the stable __sk_buff context and long-standing helpers, so that one object loads on any
// kernel with cgroup BPF. The programs never drop or change a packet.

#include <linux/bpf.h>
#include <bpf/bpf_helpers.h>

#include "appstats_key.h"

struct {
	__uint(type, BPF_MAP_TYPE_PERCPU_HASH);
	__uint(max_entries, APPSTATS_MAX_ENTRIES);
	__type(key, struct appstats_key);
	__type(value, struct appstats_value);
} appstats_bytes SEC(".maps");

static __always_inline void count(struct __sk_buff *skb, int received)
{
	struct appstats_key key = {};
	struct appstats_value *value;

	key.cgroup_id = bpf_skb_cgroup_id(skb);
	// At the ingress hook the device may already be gone from the buffer; the interface it
	// arrived on is still known.
	key.ifindex = skb->ifindex ? skb->ifindex : skb->ingress_ifindex;
	value = bpf_map_lookup_elem(&appstats_bytes, &key);
	if (!value) {
		struct appstats_value zero = {};
		// Another CPU may create it first: BPF_NOEXIST then fails and the lookup finds theirs.
		bpf_map_update_elem(&appstats_bytes, &key, &zero, BPF_NOEXIST);
		value = bpf_map_lookup_elem(&appstats_bytes, &key);
		if (!value)
			return; // the map is full; the helper empties it of removed cgroups
	}
	// Per-CPU values: no other CPU writes this slot, and preemption is off in these hooks.
	if (received)
		value->rx += skb->len;
	else
		value->tx += skb->len;
}

SEC("cgroup_skb/ingress")
int appstats_ingress(struct __sk_buff *skb)
{
	count(skb, 1);
	return 1;
}

SEC("cgroup_skb/egress")
int appstats_egress(struct __sk_buff *skb)
{
	count(skb, 0);
	return 1;
}

char LICENSE[] SEC("license") = "GPL";
