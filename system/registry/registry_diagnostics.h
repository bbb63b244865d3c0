// Sends the registry store's own problem reports (a damaged hive file set
// aside) to the message log.
//
//   EnsureRegistryDiagnostics();   // once per process is enough; cheap after
//
// The settings functions call it themselves. A sink installed before (for
// instance by a test) is kept.
#pragma once

void EnsureRegistryDiagnostics();
