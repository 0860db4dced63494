// libcurl's process-wide set-up, done exactly once.
#pragma once

class CurlGlobal {
 public:
  // True when libcurl is ready for use. The set-up runs during static initialisation of the program,
  // before main and so before any thread of ours starts; this call only reports its outcome (and runs
  // it, should a static initialiser elsewhere reach the client first). libcurl 7.84 and later also
  // serialise their global set-up internally, so even a late first call could not race. It is never
  // undone: threads may still be in transfers while the program exits.
  static bool Ready();
};
