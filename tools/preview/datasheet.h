// `datasheet`: what the person installing a gauge must know, in Markdown, found from the loaded
// and installed module itself rather than from a copy of its tables: the gauge's name and size,
// each element and the host variable it follows, the variables the module binds itself, and for
// every mouse column what pointing into it does, found by pointing at every row of it.
#pragma once

#include <ostream>

#include "tools/preview/preview_session.h"

namespace gauge_preview {

// Writes the datasheet of the session's gauge; `module_name` is the file name it is known by.
void WriteDatasheet(PreviewSession& session, const std::string& module_name, std::ostream& out);

}  // namespace gauge_preview
