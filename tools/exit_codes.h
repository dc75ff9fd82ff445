// What idesetup's exit status means. The setup's own exit code is part of
// the transcript, not of this status: a run that ended in any of the
// setup's ways (declined, refused, restarted) has completed.
#pragma once

namespace ide {

// The simulated run completed, or --help was asked for.
constexpr int kExitCompleted = 0;
// A bad command line, a machine folder that cannot be used, an output folder
// that cannot be written, or a question nobody was there to answer.
constexpr int kExitUsage = 2;

}  // namespace ide
