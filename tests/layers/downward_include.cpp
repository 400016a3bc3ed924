// Must compile: a layer sees every layer below it. Keeps the other two probes honest.
#include "model/app_data.h"
#include "platform/files.h"
#include "screens/kit/screen.h"
#include "storage/user_defaults.h"
