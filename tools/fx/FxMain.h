// The sonvara-fx program as a function, so that main() stays one line.
#pragma once

namespace fx {

enum ExitCode : int {
    kExitOk = 0,
    kExitFailed = 1,
    kExitUsage = 2,
    kExitInterrupted = 130,
};

int RunFx(int argc, char** argv);

} // namespace fx
