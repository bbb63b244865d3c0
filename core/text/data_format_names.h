// Names of the data formats the suite exchanges between its programs (drag and
// drop, clipboard, files).
//
//   #include "core/text/data_format_names.h"
//   if (format == VesselShapeMimeType) ...
//
// One copy per including file (a namespace-scope const has internal linkage),
// so the static initialiser of any file that includes this may read it.
#pragma once

#include <string>

const std::string VesselShapeMimeType = "application/vnd.zor.vessel_shape";
