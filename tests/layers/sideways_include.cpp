// Must not compile: one tab cannot see another tab's screens.
#include "screens/dashboard/main_view_controller.h"
