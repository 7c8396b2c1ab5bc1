// What a build writes for the viewer and the viewer reads back, named once for both: the
// settings member, the password every member is encrypted with, and the viewer program
// that an executable output begins with. (The language files' folder and extension are
// the project's, project/ULanguages.h; the executable trailer is the archive reader's,
// archive/arcRecords.h.)
#pragma once

namespace vlm {

// The settings member's file name.
inline constexpr const char* SettingsFileName = "VLM.settings";
// The password every archive is encrypted with: the viewer's own, the same for every
// build and unrelated to the project's Password entry.
inline constexpr const char* ArchivePassword = "Qm42Tx7150";
// The viewer program in the program folder, which Run starts and an executable output
// begins with.
inline constexpr const char* ViewerProgramName = "VLMView.exe";

} // namespace vlm
