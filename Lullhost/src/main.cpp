#include "ToolOptions.h"

#include "ssh_io.h"
#include "zeb-tools-trace.h"

int main(int argc, char** argv) {
    // Before anything is opened: a closed standard descriptor would be taken by the next file or
    // pipe, and the tool would then write its output there.
    ensure_std_handles();
    ToolOptions options;
    int code = parse_args(argc, argv, options);
    if (code != 0)
        return code;

    zeb_set_trace(static_cast<unsigned>(options.tracemode.value));
    zeb_trace(TRACE_ALWAYS, "\nBrennet tool. ver.%d.%d.%d.%d\n\n", 1, 1, 0, 0);

    code = run_mode(options);

    zeb_trace(TRACE_NOTICE, "\nProgram exited with code %d\n", code);
    return code;
}
