// The standard window classes every program can use without registering them.
#include "platform/ui/core/ShellHooks.h"

void RegisterSystemWindowClasses() {}
