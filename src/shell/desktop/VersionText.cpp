#include "shell/desktop/VersionText.h"

#include <QtGlobal>

#include "avi/AviFile.h"
#include "shell/ProgramVersion.h"

namespace vx {

std::string VersionText() {
  std::string text = std::string("Velutrix ") + kProgramVersion + "\n";
  if (kBuildCommit[0]) text += std::string("Commit ") + kBuildCommit + "\n";
  text += std::string("Qt ") + qVersion() + " (built with " + QT_VERSION_STR + ")\n";
  const std::string codecs = avi::CodecLibraryVersions();
  if (!codecs.empty()) text += codecs + "\n";
  return text;
}

}  // namespace vx
