// The host layer is one library the modules link. nanobind declares its types
// hidden, which hides every function taking or returning one unless it says
// otherwise: those the modules call are exported here.
#pragma once

#define CALLFOLD_HOST_API __attribute__((visibility("default")))
