// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Must not compile: one tab cannot see another tab's screens.
#include "screens/dashboard/main_view_controller.h"
