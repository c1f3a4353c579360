// The headless runner on a disk that fails once, for the tests of how a whole run ends on a disk
// fault:
//   disk_fault_run FAULT N RUNNER-ARGUMENTS...
// FAULT enospc or eio: the first write from the engine's Nth change to a file on fails as on a
// full disk, or with an I/O error; none: nothing fails, and "changes C" goes to standard error at the end,
// so that a test can choose N inside the run.
// This program links its own fault_before in place of the engine's.
#include "headless/headless.h"
#include "jet/storage/file_io.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

int error = 0;   // 0: none
long fail_at = 0;
long changes = 0;
bool failed = false;

}  // namespace

namespace jet {

FaultAnswer fault_before(const PendingChange& change) {
    if (++changes < fail_at || error == 0 || failed || change.kind != FileChange::Write) return {};
    failed = true;
    return {error, 0};
}

}  // namespace jet

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: disk_fault_run none|enospc|eio N RUNNER-ARGUMENTS...\n");
        return 2;
    }
    if (std::strcmp(argv[1], "enospc") == 0) error = ENOSPC;
    else if (std::strcmp(argv[1], "eio") == 0) error = EIO;
    else if (std::strcmp(argv[1], "none") != 0) return 2;
    fail_at = std::atol(argv[2]);
    argv[2] = argv[0];   // the runner sees its own name and then its arguments
    const int status = run_headless(argc - 2, argv + 2);
    if (error == 0) std::fprintf(stderr, "changes %ld\n", changes);
    return status;
}
