#include "ToolOptions.h"

#include "zeb-tools-trace.h"

int run_mode(const ToolOptions&) {
    ZebTrace(TRACE_ERROR, "main", "run modes are not available in this build\n");
    return SSH_INTERNAL_ERR;
}
