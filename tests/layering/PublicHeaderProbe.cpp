// Product code that names public platform headers: compiles.
#include "platform/kernel/Thread.h"
#include "platform/net/WinInet.h"
