#include "ProgramTestSupport.h"

namespace vx::test {

std::string Quote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

bool HaveFfmpeg() {
  return std::system("command -v ffmpeg >/dev/null 2>&1") == 0;
}

std::filesystem::path MakeClip(const std::filesystem::path& folder, int frames, const char* size) {
  const auto path = folder / "clip.yuv";
  const std::string command = std::string("ffmpeg -loglevel error -y -f lavfi -i testsrc=size=") + size +
                              ":rate=25 -frames:v " + std::to_string(frames) +
                              " -pix_fmt yuv420p -f rawvideo '" + path.string() + "'";
  if (std::system(command.c_str()) != 0) return {};
  return path;
}

}  // namespace vx::test
