// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Must not compile: the model layer cannot see the screens above it.
#include "screens/kit/screen.h"
