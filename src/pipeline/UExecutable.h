// The end of an executable build: the viewer program, the archive and an 8-byte trailer
// joined into one file.
#pragma once

#include "pipeline/UProgress.h"

#include <string>

namespace vlm {

// Joins viewer program, archive and the 8-byte little-endian offset of the archive into
// output, advancing the bar by 10, 20, 50, 10 and 10 and checking for Cancel between the
// parts; the archive is deleted at the end. The file is assembled under a temporary name
// beside output and renamed into place only when complete, so an error or Cancel never
// leaves a truncated executable under the output's name. Read and write failures name
// the file.
void JoinExecutable(TProgress& progress, const std::string& viewer, const std::string& archive,
                    const std::string& output);

} // namespace vlm
