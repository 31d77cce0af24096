#pragma once

#include <string>

namespace quil {

// Where the platform keeps a version block in program files (Windows):
// the company and internal names of the block for the neutral language
// and Unicode ("000004b0") of the program file at `path`. 0 with both
// names set; 2 (ENOENT, ERROR_FILE_NOT_FOUND) when the file has no version
// block or either name is missing. Platforms without version blocks answer
// ENOSYS; there the build's own names stand in.
int ReadProgramVersionNames(const std::string& path, std::string& company,
                            std::string& internalName);

}  // namespace quil
