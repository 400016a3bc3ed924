// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Must compile: a layer sees every layer below it. Keeps the other two probes honest.
#include "model/app_data.h"
#include "platform/files.h"
#include "screens/kit/screen.h"
#include "storage/user_defaults.h"
