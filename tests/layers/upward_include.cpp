// Must not compile: the model layer cannot see the screens above it.
#include "screens/kit/screen.h"
