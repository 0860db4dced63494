// Product code that names an internal header of a platform library it links: must not compile.
#include "platform/net/CurlTransfer.h"
